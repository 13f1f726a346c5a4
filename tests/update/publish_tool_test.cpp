// The publisher's tool as release pipelines run it: what it prints and its
// exit code for help, version and wrong command lines.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/build_tree.h"
#include "support/child_process.h"
#include "support/temp_folder.h"

namespace {

struct ToolRun {
    std::vector<std::string> arguments;
    int exit_code;
    std::string stdout_starts_with;
    std::string stderr_text;
};

TEST(PublishToolTest, HelpAndVersionExitZeroAndErrorsExitOneWithOneLine)
{
    const testing_support::TempFolder output;
    const std::string see_help = " (see merroupdate-publish --help)\n";
    const std::vector<ToolRun> runs = {
        {{"--help"}, 0, "usage: merroupdate-publish --package FILE", ""},
        {{"--version"}, 0, "merroupdate-publish " MERRO_PROJECT_VERSION "\n", ""},
        {{}, 1, "", "merroupdate-publish: no options given" + see_help},
        {{"-h"}, 1, "", "merroupdate-publish: unknown option -h" + see_help},
        {{"--package"}, 1, "", "merroupdate-publish: --package needs a value" + see_help},
        {{"--version", "1.1.0"}, 1, "", "merroupdate-publish: --url is missing" + see_help},
        {{"--verify", "missing.json", "--package", "p.zip", "--pub", "k.pub"},
         1,
         "",
         "merroupdate-publish: cannot read missing.json\n"},
    };
    int index = 0;
    for (const ToolRun& run : runs) {
        std::vector<std::string> command = {testing_support::BuildPath("bin/merroupdate-publish")};
        command.insert(command.end(), run.arguments.begin(), run.arguments.end());
        const auto tool = testing_support::ChildProcess::Start(
            command, {.working_directory = output.path(), .output_files = output.path() / std::to_string(index++)});
        ASSERT_TRUE(tool);
        EXPECT_EQ(tool->Wait(std::chrono::seconds(30)), run.exit_code) << command.back();
        EXPECT_TRUE(tool->Stdout().starts_with(run.stdout_starts_with)) << command.back() << ": " << tool->Stdout();
        EXPECT_EQ(tool->Stderr(), run.stderr_text) << command.back();
    }
}

TEST(PublishToolTest, HelpNamesEverySigningOptionAndAnExample)
{
    const testing_support::TempFolder output;
    const auto tool = testing_support::ChildProcess::Start(
        {testing_support::BuildPath("bin/merroupdate-publish"), "--help"}, {.output_files = output.path() / "help"});
    ASSERT_TRUE(tool);
    ASSERT_EQ(tool->Wait(std::chrono::seconds(30)), 0);
    const std::string help = tool->Stdout();
    for (const char* option :
         {"--package", "--version", "--url", "--sequence", "--expires", "--key", "--verify", "--pub"}) {
        EXPECT_NE(help.find(std::string("\n  ") + option + " "), std::string::npos) << option;
    }
    EXPECT_NE(help.find("\nexample:\n  merroupdate-publish --package "), std::string::npos);
}

}  // namespace
