// Logger lines, the reserve-logger fallback and the task label (core functions, fake clock).
#include <gtest/gtest.h>

#include <future>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "testools/logger.h"

namespace {

class RecordingLogger : public TLogger {
 public:
  void WriteLine(const std::string& line) override {
    if (failWith) throw EInOutError(failWith);
    lines.push_back(line);
  }
  std::vector<std::string> lines;
  const char* failWith = nullptr;
};

class LoggerTest : public ::testing::Test {
 protected:
  platform::FakeClock clock_{platform::EncodeDateTime(2024, 3, 15, 10, 30, 0, 250), 0};
  platform::ScopedClock scoped_{clock_};
  RecordingLogger main_, reserve_;
  const std::string stamp_ = "15.03.2024 10:30:00.250";
};

}  // namespace

TEST_F(LoggerTest, WithoutTaskGoesToReserveWithEmptySource) {
  testools::AddToLogger(nullptr, 0, "started", "x", &reserve_);
  ASSERT_EQ(reserve_.lines.size(), 1u);
  EXPECT_EQ(reserve_.lines[0], stamp_ + "\tstarted\t\tx");
}

TEST_F(LoggerTest, KindTextsAndTheLineFormat) {
  struct Case {
    uint8_t kind;
    std::string prefix;
  } cases[] = {{0, ""},
               {1, "Синтаксическая ошибка\t"},
               {2, "Ошибка\t"},
               {3, "Предупреждение\t"},
               {4, "Фатальная ошибка\t"},
               {5, "Информация\t"},
               {6, "Debug\t"}};
  for (const Case& c : cases) {
    main_.lines.clear();
    testools::AddMsgToLogger(c.kind, "msg", "src", "extra", &main_, &reserve_);
    ASSERT_EQ(main_.lines.size(), 1u);
    EXPECT_EQ(main_.lines[0], stamp_ + "\t" + c.prefix + "msg\tsrc\textra");
  }
  EXPECT_TRUE(reserve_.lines.empty());
}

TEST_F(LoggerTest, TaskLabelFromNameOrNumbers) {
  TUserTask task(&main_);
  task.Data.LabelMajor = 7;
  task.Data.LabelMinor = 3;
  task.Data.LabelIndex = 12;
  EXPECT_EQ(testools::TaskLabel(&task), "Task 7.3[12]: ");
  testools::AddToLogger(&task, 5, "read", "ok", &reserve_);
  ASSERT_EQ(main_.lines.size(), 1u);
  EXPECT_EQ(main_.lines[0], stamp_ + "\tИнформация\tread\tTask 7.3[12]: \tok");
  task.Data.Name = "Опрос";
  EXPECT_EQ(testools::TaskLabel(&task), "Опрос");
  task.Data.Name = std::string(300, 'n');
  EXPECT_EQ(testools::TaskLabel(&task).size(), 255u);
}

TEST_F(LoggerTest, FailingMainLoggerIsReportedInTheReserve) {
  main_.failWith = "Disk full";
  TUserTask task(&main_);
  task.Data.Name = "T1";
  testools::AddToLogger(&task, 2, "write failed", "extra", &reserve_);
  ASSERT_EQ(reserve_.lines.size(), 1u);
  EXPECT_EQ(reserve_.lines[0],
            stamp_ + "\tОшибка\twrite failed\tT1\textra 15.03.2024 10:30:00 EInOutError under Logger.AddMsg: Disk full");
  // The failing logger's lock was released.
  EXPECT_TRUE(std::async(std::launch::async, [this] {
                bool locked = main_.Lock().try_lock();
                if (locked) main_.Lock().unlock();
                return locked;
              }).get());
}

TEST_F(LoggerTest, LostLinesAndForeignFailures) {
  EXPECT_NO_THROW(testools::AddMsgToLogger(2, "m", "s", "e", nullptr, nullptr));
  main_.failWith = "Disk full";
  reserve_.failWith = "Disk full too";
  EXPECT_NO_THROW(testools::AddMsgToLogger(2, "m", "s", "e", &main_, &reserve_));
  EXPECT_NO_THROW(testools::AddMsgToLogger(2, "m", "s", "e", &main_, nullptr));
  // Something that is not an error object is not the library's to swallow.
  RecordingLogger odd;
  odd.OnMessage = [](const std::string&) { throw 42; };
  EXPECT_THROW(testools::AddMsgToLogger(0, "m", "s", "e", &odd, &reserve_), int);
}

TEST_F(LoggerTest, StampPatternAndMessageEvent) {
  std::vector<std::string> events;
  main_.OnMessage = [&](const std::string& line) { events.push_back(line); };
  main_.TimeStampFormat = "hh:nn'%s'";
  testools::AddMsgToLogger(0, "m", "s", "e", &main_, nullptr);
  main_.TimeStampFormat = "'[plain]'";
  testools::AddMsgToLogger(0, "m", "s", "e", &main_, nullptr);
  ASSERT_EQ(main_.lines.size(), 2u);
  EXPECT_EQ(main_.lines[0], "10:30\t\tm\ts\te");
  EXPECT_EQ(main_.lines[1], "[plain]\tm\ts\te");
  EXPECT_EQ(events, main_.lines);
}

TEST(ExceptionNames, PlainClassNames) {
  EXPECT_EQ(testools::ExceptionClassName(EInOutError("x")), "EInOutError");
  EXPECT_EQ(testools::ExceptionClassName(platform::EConvertError("x")), "EConvertError");
}
