// MULTIPAIR.INI: its text form, merging, and the file written whole.

#include "slave_record.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "captured_output_test.h"
#include "file_replace.h"
#include "scratch_directory.h"
#include "slave_record_file.h"

namespace {

const char kHeader[] = "[Master]\nAddress=001A7DDA7113\n[Slaves]\n";

TEST(SlaveRecordTest, ReadsWhatPeopleWriteByHand) {
  const std::string text =
      "\xEF\xBB\xBF; edited in Notepad\r\n  [ master ]\r\n address = 001a7dda7113 \r\n\r\n"
      "[Slaves]\r\n# pumps\r\n001a7dda7114 =  Pump room 2 \r\n001A7DDA7115=a=b";
  SlaveRecord record;
  std::string problem;
  ASSERT_TRUE(ParseSlaveRecord(text, &record, &problem)) << problem;
  EXPECT_EQ(record.masterAddress, "001A7DDA7113");
  ASSERT_EQ(record.slaves.size(), 2u);
  EXPECT_EQ(record.slaves[0].address, "001A7DDA7114");
  EXPECT_EQ(record.slaves[0].name, "Pump room 2");
  EXPECT_EQ(record.slaves[1].name, "a=b");
  SlaveRecord again;
  ASSERT_TRUE(ParseSlaveRecord(FormatSlaveRecord(record), &again, &problem)) << problem;
  EXPECT_EQ(FormatSlaveRecord(again), FormatSlaveRecord(record));
}

TEST(SlaveRecordTest, NamesTheLineAndTheMistake) {
  const struct {
    std::string text;
    const char* problem;
  } rows[] = {
      {"Address=001A7DDA7113\n", "line 1: \"Address=\" comes before any [Master] or [Slaves]"},
      {"[Master\n", "line 1: \"[Master\" lacks its closing ]"},
      {"; x\n[Masters]\n", "line 2: unknown section [Masters]; the file has [Master] and [Slaves]"},
      {"[Master]\nAdress=001A7DDA7113\n",
       "line 2: [Master] has no key \"Adress\"; it holds Address"},
      {"[Master]\nAddress=001A7DDA711\n",
       "line 2: the master Address \"001A7DDA711\" is not 12 hexadecimal digits"},
      {"[Master]\nAddress=001A7DDA7113\r\nAddress=001A7DDA7114\r\n",
       "line 3: a second master Address"},
      {std::string(kHeader) + "Slave01\n", "line 4: \"Slave01\" is not of the form key=value"},
      {std::string(kHeader) + "00:1A:7D:DA:71:14=Slave01\n",
       "line 4: \"00:1A:7D:DA:71:14\" is not a slave address (12 hexadecimal digits)"},
      {std::string(kHeader) + "001A7DDA7114=  \n", "line 4: slave 001A7DDA7114 has no name"},
      {std::string(kHeader) + "001A7DDA7114=A\n001a7dda7114=B\n",
       "line 5: slave 001A7DDA7114 is listed twice"},
      {"[Master]\n\n[Slaves]\n\n001A7DDA7114=A\n",
       "line 5: slaves are listed, but [Master] gives no Address"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    SlaveRecord record;
    std::string problem;
    EXPECT_FALSE(ParseSlaveRecord(row.text, &record, &problem));
    EXPECT_EQ(problem, row.problem);
  }
}

TEST(SlaveRecordTest, SlavePairedAgainKeepsItsPlaceAndNamesMatchInAnyCase) {
  SlaveRecord record;
  RecordSlave(&record, "001a7dda7114", "Pump");
  RecordSlave(&record, "001A7DDA7115", " ");
  RecordSlave(&record, "001A7DDA7116", "pump");
  RecordSlave(&record, "001A7DDA7114", "Press ");
  EXPECT_EQ(FormatSlaveRecord(record),
            "; Slaves paired with one master adapter.\n[Master]\n\n[Slaves]\n"
            "001A7DDA7114=Press\n001A7DDA7115=001A7DDA7115\n001A7DDA7116=pump\n");
  EXPECT_EQ(SlavesNamed(record, "PRESS").size(), 1u);
  EXPECT_EQ(SlavesNamed(record, "Pump").size(), 1u);
  RecordSlave(&record, "001A7DDA7115", "PUMP");
  EXPECT_EQ(SlavesNamed(record, "pump").size(), 2u);
}

// Each test runs in a fresh directory of its own.
class SlaveRecordFileTest : public CapturedOutputTest {
 protected:
  void SetUp() override {
    CapturedOutputTest::SetUp();
    ASSERT_FALSE(scratch_.path().empty());
  }
  static std::string Contents(const std::string& path) { return ScratchDirectory::Contents(path); }

  ScratchDirectory scratch_;
};

TEST_F(SlaveRecordFileTest, SavesWholeKeepsTheModeAndBacksUpByteForByte) {
  std::string error;
  const std::string handEdited = "[Master]\r\nAddress=001A7DDA7113\r\n";
  ASSERT_TRUE(platform::ReplaceFileWhole(kSlaveRecordPath, handEdited, &error));
  ASSERT_EQ(chmod(kSlaveRecordPath, 0640), 0);
  SlaveRecord record;
  bool found = false;
  ASSERT_EQ(LoadSlaveRecord(&record, &found), kResultOk);
  EXPECT_TRUE(found);
  ASSERT_EQ(BackUpSlaveRecord("001A7DDA7113"), kResultOk);
  RecordSlave(&record, "001A7DDA7114", "Slave01");
  ASSERT_EQ(SaveSlaveRecord(record), kResultOk);

  EXPECT_EQ(Contents("MULTIPAIR.INI.bak"), handEdited);
  EXPECT_EQ(Contents(kSlaveRecordPath), FormatSlaveRecord(record));
  struct stat info {};
  ASSERT_EQ(stat(kSlaveRecordPath, &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(std::system("test $(ls -A | wc -l) -eq 2"), 0) << "a temporary file was left";
  EXPECT_EQ(output_,
            "MULTIPAIR.INI held the slaves of master 001A7DDA7113; it was copied to "
            "MULTIPAIR.INI.bak\r\n");
}

TEST_F(SlaveRecordFileTest, FailedRenameLeavesNoTemporaryFile) {
  // A directory where the file should be: the rename over it fails.
  ASSERT_EQ(mkdir(kSlaveRecordPath, 0755), 0);
  EXPECT_EQ(SaveSlaveRecord(SlaveRecord()), kResultRecordProblem);
  EXPECT_EQ(output_.rfind("MULTIPAIR.INI was not written: cannot rename MULTIPAIR.INI.", 0), 0u)
      << output_;
  EXPECT_EQ(std::system("test $(ls -A | wc -l) -eq 1"), 0) << "a temporary file was left";
}

TEST_F(SlaveRecordFileTest, MissingFileIsEmptyButAVanishedDirectoryCannotBeWritten) {
  SlaveRecord record;
  bool found = true;
  EXPECT_EQ(LoadSlaveRecord(&record, &found), kResultOk);
  EXPECT_FALSE(found);
  ASSERT_EQ(rmdir(scratch_.path().c_str()), 0);
  EXPECT_EQ(CheckSlaveRecordWritable(), kResultRecordProblem);
  EXPECT_EQ(output_, "MULTIPAIR.INI cannot be written here: cannot create MULTIPAIR.INI." +
                         std::to_string(getpid()) + ".tmp: No such file or directory\r\n");
}

}  // namespace
