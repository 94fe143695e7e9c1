// MULTIPAIR.INI: the mistakes its reader names, and the file written whole.
// How it reads a file edited by hand shows in the multipair dialogue.

#include "slave_record.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "golden.h"
#include "scratch_directory.h"
#include "sim_fixture.h"
#include "slave_record_file.h"

namespace {

TEST(SlaveRecordTest, NamesTheLineAndTheMistake) {
  const auto records = ReadBlocks("bad_slave_records.txt");  // problem, text
  ASSERT_EQ(records.size(), 10u);
  for (const auto& record : records) {
    SlaveRecord parsed;
    std::string problem;
    EXPECT_FALSE(ParseSlaveRecord(record.second, &parsed, &problem)) << record.second;
    EXPECT_EQ(problem, record.first);
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

TEST_F(SlaveRecordFileTest, MultipairStopsBeforeAnythingWhereNoRecordCanBeWritten) {
  SetUpBench({});
  ASSERT_EQ(rmdir(scratch_.path().c_str()), 0);  // nothing can be made here, even by root
  EXPECT_EQ(RunProgram({"COM1", "multipair"}), 7);
  EXPECT_NE(output_.find("\nMULTIPAIR.INI cannot be written here: "), std::string::npos) << output_;
  EXPECT_TRUE(bench_.sentBytes().empty());
}

}  // namespace
