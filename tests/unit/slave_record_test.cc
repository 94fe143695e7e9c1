// MULTIPAIR.INI: the mistakes its reader names, what it refuses to read, and
// the file shared by runs of several masters. How it reads a file edited by
// hand shows in the multipair dialogue.

#include "slave_record.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "golden.h"
#include "scratch_directory.h"
#include "scripted_keyboard.h"
#include "sim_fixture.h"
#include "slave_record_file.h"

namespace {

TEST(SlaveRecordTest, NamesTheLineAndTheMistakeInPrintableText) {
  auto records = ReadBlocks("bad_slave_records.txt");  // problem, text
  records.emplace_back("line 1: UTF-16 text; the file must be saved as UTF-8",
                       std::string("\xFF\xFE[\0M\0", 6));
  records.emplace_back("line 2: a NUL byte; is the file UTF-16 text? It must be saved as UTF-8",
                       std::string("[Master]\nA\0d\0", 13));
  ASSERT_EQ(records.size(), 14u);
  for (const auto& record : records) {
    SlaveRecord parsed;
    std::string problem;
    EXPECT_FALSE(ParseSlaveRecord(record.second, &parsed, &problem)) << record.second;
    EXPECT_EQ(problem, record.first);
  }
  std::string many = "[Master]\nAddress=001A7DDA7113\n[Slaves]\n";
  for (int slave = 0; slave < 160000; ++slave) {
    char line[32];
    std::snprintf(line, sizeof line, "%012X=S%d\n", slave, slave);
    many += line;
  }
  SlaveRecord parsed;
  std::string problem;
  const std::clock_t start = std::clock();
  EXPECT_TRUE(ParseSlaveRecord(many, &parsed, &problem)) << problem;
  EXPECT_LT(std::clock() - start, CLOCKS_PER_SEC);
}

class SlaveRecordFileTest : public SimulatedAdapterTest {
 protected:
  ScratchDirectory scratch_;
};

// Whatever stands at MULTIPAIR.INI is named, quickly, before a byte goes to
// the port; a FIFO or a device is never read. Nor does a run start where no
// record can be written.
TEST_F(SlaveRecordFileTest, OnlyARegularFileOfModestSizeIsRead) {
  SetUpBench({});
  const std::pair<void (*)(), const char*> cases[] = {
      {[] { mkfifo("MULTIPAIR.INI", 0600); }, "is a FIFO (named pipe), not a file of slaves"},
      {[] { symlink("/dev/zero", "MULTIPAIR.INI"); }, "is a device, not a file of slaves"},
      {[] { mkdir("MULTIPAIR.INI", 0700); }, "is a directory, not a file of slaves"},
      {[] {
         WriteFile("MULTIPAIR.INI", "");
         std::filesystem::resize_file("MULTIPAIR.INI", 100u << 20);
       },
       "is larger than 1 MiB, far more than a record of slaves holds; it was not read"},
      // Nothing can be made here, even by root.
      {[] { rmdir(std::filesystem::current_path().c_str()); }, "cannot be written here: "},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all("MULTIPAIR.INI");
    c.first();
    output_.clear();
    const std::clock_t start = std::clock();
    EXPECT_EQ(RunProgram({"COM1", "multipair"}), 7) << c.second;
    EXPECT_LT(std::clock() - start, CLOCKS_PER_SEC) << c.second;
    EXPECT_NE(output_.find("\nMULTIPAIR.INI " + std::string(c.second)), std::string::npos)
        << output_;
  }
  EXPECT_TRUE(bench_.sentBytes().empty());
}

// Master A, then B, then A again; in A's first run the operator adds a
// slave by hand at a prompt. Every slave and the comment are kept, each
// master's record in the file or in the backup the run named.
TEST_F(SlaveRecordFileTest, NoMastersSlaveIsLost) {
  SetUpBench({"--plugged", "none", "--adapter", "A", "--adapter", "B", "--adapter", "S1",
              "--address", "001A7DDA7121", "--adapter", "S2", "--address", "001A7DDA7122",
              "--adapter", "S3", "--address", "001A7DDA7123"});
  WriteFile("MULTIPAIR.INI",
            "; bench 4\n[Master]\nAddress=001A7DDA7113\n[Slaves]\n001A7DDA7120=Old\n");
  std::string transcript;
  for (const std::string run : {"AS1", "BS2", "AS3"}) {
    ScriptedKeyboard console;
    console.AnswerPrompt({13}, [this, run] { Hands("plug " + run.substr(0, 1)); });
    console.AnswerPrompt({13}, [this, run] {
      if (run == "AS1") {
        WriteFile("MULTIPAIR.INI", FileContents("MULTIPAIR.INI") + "001A7DDA7124=By hand\n");
      }
      Hands("plug " + run.substr(1));
    });
    console.AnswerPrompt({13}, [this, run] { Hands("plug " + run.substr(0, 1)); });
    output_.clear();
    EXPECT_EQ(RunProgram({"COM1", "multipair"}), 0) << output_;
    std::replace(output_.begin(), output_.end(), '\r', '\n');
    std::istringstream lines(output_);
    for (std::string line; std::getline(lines, line);) {
      if (line.find("MULTIPAIR.INI") != std::string::npos || line.rfind("Slave 1:", 0) == 0) {
        transcript += line + "\n";
      }
    }
  }
  ExpectGolden("multipair_masters_a_b_a.files", transcript + FilesLeft());
}

TEST_F(SlaveRecordFileTest, KeepsTheFilesModeAndLeavesNoTemporaryFileBehind) {
  RecordedSlave recorded;
  ASSERT_EQ(RecordSlaveOf("001a7dda7113", "001a7dda7121", " ", &recorded), kResultOk);
  EXPECT_EQ(recorded.name, "001A7DDA7121");
  ASSERT_EQ(chmod("MULTIPAIR.INI", 0640), 0);
  ASSERT_EQ(RecordSlaveOf("001A7DDA7113", "001A7DDA7122", "Two", &recorded), kResultOk);
  struct stat info {};
  ASSERT_EQ(stat("MULTIPAIR.INI", &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  // A directory in the file's place is not written over.
  ASSERT_EQ(rename("MULTIPAIR.INI", "old") + mkdir("MULTIPAIR.INI", 0755), 0);
  EXPECT_EQ(RecordSlaveOf("001A7DDA7113", "001A7DDA7122", "Two", &recorded), kResultRecordProblem);
  EXPECT_EQ(
      std::system("test \"$(ls -A)\" = \"$(printf 'MULTIPAIR.INI\\nMULTIPAIR.INI.lock\\nold')\""),
      0);
}

}  // namespace
