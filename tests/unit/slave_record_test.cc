// MULTIPAIR.INI: its text form, and the file written whole.

#include "slave_record.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "scratch_directory.h"
#include "sim_fixture.h"
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
  EXPECT_EQ(FormatSlaveRecord(record),
            "; Slaves paired with one master adapter.\n[Master]\nAddress=001A7DDA7113\n\n"
            "[Slaves]\n001A7DDA7114=Pump room 2\n001A7DDA7115=a=b\n");
}

TEST(SlaveRecordTest, NamesTheLineAndTheMistake) {
  const struct {
    std::string text;
    const char* problem;
  } rows[] = {
      {"Address=001A7DDA7113\n", "line 1: \"Address=\" comes before any [Master] or [Slaves]"},
      {"; x\n[Masters]\n", "line 2: unknown section [Masters]; the file has [Master] and [Slaves]"},
      {"[Master]\nAdress=001A7DDA7113\n",
       "line 2: [Master] has no key \"Adress\"; it holds Address"},
      {"[Master]\nAddress=001A7DDA711\n",
       "line 2: the master Address \"001A7DDA711\" is not 12 hexadecimal digits"},
      {"[Master]\r\nAddress=001A7DDA7113\r\nAddress=001A7DDA7114\r\n",
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
    SlaveRecord record;
    std::string problem;
    EXPECT_FALSE(ParseSlaveRecord(row.text, &record, &problem)) << row.text;
    EXPECT_EQ(problem, row.problem);
  }
}

class SlaveRecordFileTest : public SimulatedAdapterTest {
 protected:
  ScratchDirectory scratch_;
};

TEST_F(SlaveRecordFileTest, KeepsTheFilesModeAndLeavesNoTemporaryFileBehind) {
  ASSERT_EQ(SaveSlaveRecord(NewSlaveRecord("001A7DDA7113")), kResultOk);
  ASSERT_EQ(chmod("MULTIPAIR.INI", 0640), 0);
  ASSERT_EQ(SaveSlaveRecord(SlaveRecord()), kResultOk);
  struct stat info {};
  ASSERT_EQ(stat("MULTIPAIR.INI", &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  // A directory in the file's place: the rename over it fails.
  ASSERT_EQ(rename("MULTIPAIR.INI", "old") + mkdir("MULTIPAIR.INI", 0755), 0);
  EXPECT_EQ(SaveSlaveRecord(SlaveRecord()), kResultRecordProblem);
  EXPECT_EQ(output_.rfind("MULTIPAIR.INI was not written: cannot rename MULTIPAIR.INI.", 0), 0u);
  EXPECT_EQ(std::system("test \"$(ls -A)\" = \"$(printf 'MULTIPAIR.INI\\nold')\""), 0);
}

}  // namespace
