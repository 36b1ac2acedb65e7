// The generated scripts, byte for byte, and their failures.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "scripts/generate_auto_install_sql.h"
#include "scripts/generate_set_env_bat.h"
#include "scripts/generate_set_env_sql.h"
#include "setup/derive_paths.h"
#include "setup/setup_parameters.h"
#include "tests/test_support.h"

namespace {

std::string replace_all(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// The scripts as they must be written for the default answers, CR LF and all.
std::string golden(const std::string& name) {
    return read_file(SOURCE_ROOT "/tests/golden/" + name);
}

class Scripts : public ScratchDrives {
  protected:
    void SetUp() override {
        map_drive('C', scratch / "c");
        work_in(scratch.path());
        use_app_home("C:\\XEPDB1\\QUARNDEL");
    }
    void use_app_home(const char* app_home) {
        std::snprintf(p.DBSERVICE, sizeof p.DBSERVICE, "XEPDB1");
        std::snprintf(p.APP_OWNER, sizeof p.APP_OWNER, "QUARNDEL");
        std::snprintf(p.CONNECT_USER, sizeof p.CONNECT_USER, "DEMO_CONNECT");
        std::snprintf(p.PORT, sizeof p.PORT, "1521");
        std::snprintf(p.APP_HOME, sizeof p.APP_HOME, "%s", app_home);
        std::snprintf(p.DATA_HOME, sizeof p.DATA_HOME, "C:\\XEPDB1\\QUARNDEL\\data");
        escape_for_sqlplus(p.APP_HOME, p.SQL_APP_HOME, sizeof p.SQL_APP_HOME);
        escape_for_sqlplus(p.DATA_HOME, p.SQL_DATA_HOME, sizeof p.SQL_DATA_HOME);
        make_connection_string(p.PORT, p.DBSERVICE, p.DBCONNECT, sizeof p.DBCONNECT);
    }
    std::string host_home() {
        return scratch / "c/XEPDB1/QUARNDEL";
    }

    SetupParameters p;
};

TEST_F(Scripts, DefaultAnswersGiveTheTemplatesByteForByte) {
    make_folders(host_home() + "/config");
    make_folders(host_home() + "/install");
    testing::internal::CaptureStdout();
    EXPECT_TRUE(run_set_env_sql_stage(p));
    EXPECT_TRUE(run_set_env_bat_stage(p));
    EXPECT_TRUE(generate_auto_install_sql(p));
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(read_file(host_home() + "/config/set_env.sql"), golden("set_env.sql"));
    EXPECT_EQ(read_file(host_home() + "/config/set_env.bat"), golden("set_env.bat"));
    EXPECT_EQ(read_file(host_home() + "/install/auto_install.sql"), golden("auto_install.sql"));
    EXPECT_EQ(output,
              "Creating C:\\XEPDB1\\QUARNDEL\\config\\set_env.sql...\n"
              "SQL script generated: C:\\XEPDB1\\QUARNDEL\\config\\set_env.sql\n"
              "SQL script set_env.sql created.\n"
              "Creating C:\\XEPDB1\\QUARNDEL\\config\\set_env.bat...\n"
              "Script generated: C:\\XEPDB1\\QUARNDEL\\config\\set_env.bat\n"
              "Script set_env.bat created.\n"
              "Creating C:\\XEPDB1\\QUARNDEL\\install\\auto_install.sql...\n"
              "SQL script generated: C:\\XEPDB1\\QUARNDEL\\install\\auto_install.sql\n");
    EXPECT_EQ(read_file(scratch / "install.log"),
              "SQL script set_env.sql created.\r\nScript set_env.bat created.\r\n");
}

TEST_F(Scripts, BlanksAndAmpersandsAreEscapedOnlyInTheDefineLines) {
    const char* home = "C:\\My Apps & Co\\XEPDB1\\QUARNDEL";
    use_app_home(home);
    std::string host = scratch / "c/My Apps & Co/XEPDB1/QUARNDEL";
    make_folders(host + "/config");
    make_folders(host + "/install");
    testing::internal::CaptureStdout();
    EXPECT_TRUE(generate_set_env_sql(p));
    EXPECT_TRUE(generate_set_env_bat(p));
    EXPECT_TRUE(generate_auto_install_sql(p));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(read_file(host + "/config/set_env.sql"),
              replace_all(golden("set_env.sql"), "DEFINE v_app_home = \"C:\\\\XEPDB1\\\\QUARNDEL\"",
                          "DEFINE v_app_home = \"C:\\\\My Apps \\& Co\\\\XEPDB1\\\\QUARNDEL\""));
    EXPECT_EQ(read_file(host + "/config/set_env.bat"),
              replace_all(golden("set_env.bat"), "SET APP_HOME=\"C:\\XEPDB1\\QUARNDEL\"",
                          "SET APP_HOME=\"C:\\My Apps & Co\\XEPDB1\\QUARNDEL\""));
    EXPECT_EQ(
        read_file(host + "/install/auto_install.sql"),
        replace_all(golden("auto_install.sql"), "DEFINE v_app_root=\"C:\\\\XEPDB1\\\\QUARNDEL\"",
                    "DEFINE v_app_root=\"C:\\\\My Apps \\& Co\\\\XEPDB1\\\\QUARNDEL\""));
}

TEST_F(Scripts, ASecondRunReplacesTheFiles) {
    make_folders(host_home() + "/config");
    write_file(host_home() + "/config/set_env.sql", std::string(20000, 'x'));
    testing::internal::CaptureStdout();
    EXPECT_TRUE(generate_set_env_sql(p));
    EXPECT_TRUE(generate_set_env_sql(p));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(read_file(host_home() + "/config/set_env.sql"), golden("set_env.sql"));
}

TEST_F(Scripts, AMissingFolderFailsTheStageWithoutCreated) {
    testing::internal::CaptureStdout();
    EXPECT_FALSE(run_set_env_sql_stage(p));
    EXPECT_FALSE(run_set_env_bat_stage(p));
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(output,
              "Creating C:\\XEPDB1\\QUARNDEL\\config\\set_env.sql...\n"
              "Error: Cannot open file for writing!\n"
              "Error: SQL script set_env.sql was not written.\n"
              "Creating C:\\XEPDB1\\QUARNDEL\\config\\set_env.bat...\n"
              "Error: Cannot open file for writing!\n"
              "Error: Script set_env.bat was not written.\n");
    EXPECT_EQ(read_file(scratch / "install.log"),
              "Error: SQL script set_env.sql was not written.\r\nError: Script set_env.bat was not "
              "written.\r\n");
}

TEST_F(Scripts, AWriteFailureIsNotReportedAsCreated) {
    // /dev/full accepts the open and fails every write, as a full disk does.
    ASSERT_TRUE(file_exists("/dev/full"));
    // The script path must name /dev/full itself: map a drive onto a folder
    // holding a link to it in the place of the script.
    make_folders(scratch / "full/config");
    ASSERT_EQ(symlink("/dev/full", (scratch / "full/config/set_env.sql").c_str()), 0);
    map_drive('F', scratch / "full");
    std::snprintf(p.APP_HOME, sizeof p.APP_HOME, "F:");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(run_set_env_sql_stage(p));
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(output.find("set_env.sql created."), std::string::npos) << output;
    EXPECT_NE(output.find("Error: Could not write F:\\config\\set_env.sql completely"),
              std::string::npos);
    EXPECT_NE(output.find("Error: SQL script set_env.sql was not written.\n"), std::string::npos);
}

}  // namespace
