#include "app/service_display.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_folder.h"
#include "update/change_record.h"

namespace {

// The service's folder is the current one, where the service writes its
// record; the user's note is in a folder of its own, made when needed.
class ServiceDisplayTest : public ::testing::Test {
protected:
    RunResult Take() const { return TakeUnannouncedChange(work.path(), work.path() / "user" / "announced-change"); }

    testing_support::WorkFolder work;
};

TEST_F(ServiceDisplayTest, EachRecordedChangeIsAnnouncedOnce)
{
    EXPECT_EQ(Take(), RunResult::kNothingToDo);
    const ChangeRecord installed = WriteChangeRecord(RunResult::kInstalled, "1.0.0");
    EXPECT_EQ(ReadChangeRecord(work.path()), installed);
    EXPECT_EQ(Take(), RunResult::kInstalled);
    EXPECT_EQ(Take(), RunResult::kNothingToDo);
    const ChangeRecord updated = WriteChangeRecord(RunResult::kUpdated, "1.1.0");
    ASSERT_NE(updated.id, installed.id);
    EXPECT_EQ(Take(), RunResult::kUpdated);
    EXPECT_EQ(Take(), RunResult::kNothingToDo);
}

TEST_F(ServiceDisplayTest, ARecordThatCannotBeReadAnnouncesNothing)
{
    for (const char* text : {"", "{\"change\": \"1\", \"result\": \"removed\"}", "{\"result\": \"updated\"}", "[]"}) {
        std::ofstream(work.path() / "LastChange.json", std::ios::trunc) << text;
        EXPECT_FALSE(ReadChangeRecord(work.path())) << text;
        EXPECT_EQ(Take(), RunResult::kNothingToDo) << text;
    }
}

}  // namespace
