// The fault seam's cases on the Win32 backend, the one that ships: the
// faults are failing stand-ins in its system-call table, the copy is the
// program's own, and install.log is written in the scratch folder.
#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fault_injection.h"
#include "deploy/copy_directory.h"
#include "deploy/copy_stage.h"
#include "platform/platform.h"
#include "platform/win32/system_calls.h"
#include "setup/log_event.h"
#include "setup/run_setup.h"
#include "tests/fault_cases.h"

namespace {

namespace fs = std::filesystem;
using platform::fault_injection::inject_fault;
using platform::fault_injection::Operation;

std::string read_all(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::size_t occurrences(const std::string& text, const std::string& piece) {
    std::size_t count = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        ++count;
    return count;
}

// A source tree of five files in two folders, a target beside it, and the
// working folder (where install.log goes) inside the scratch folder.
class Win32Faults : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::fault_injection::reset_faults();
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        scratch = fs::temp_directory_path() / (std::string("setup-faults-") + test->name());
        fs::remove_all(scratch);
        fs::create_directories(scratch / "source\\sub");
        for (const char* name : {"a.txt", "b.txt", "c.txt", "sub/d.txt", "sub/e.txt"})
            std::ofstream(scratch / "source" / name) << name;
        saved_folder = fs::current_path();
        fs::current_path(scratch);
    }
    void TearDown() override {
        platform::fault_injection::reset_faults();
        platform::system_calls().WriteFile = saved_write;
        fs::current_path(saved_folder);
        fs::remove_all(scratch);
    }
    int copy() {
        return copy_directory((scratch / "source").string().c_str(),
                              (scratch / "target").string().c_str(), -1);
    }
    std::string log() {
        return read_all(scratch / "install.log");
    }

    fs::path scratch, saved_folder;
    decltype(platform::SystemCalls::WriteFile) saved_write = platform::system_calls().WriteFile;
};

TEST_F(Win32Faults, DiskFullDuringTheCopy) {
    inject_fault(Operation::copy_file, 4, 0, platform::ERROR_CODE_DISK_FULL);
    EXPECT_EQ(copy(), 2);
    EXPECT_EQ(occurrences(log(), "Copied file: "), 3u);
    EXPECT_EQ(occurrences(log(), "Error copying file: "), 2u);
}

TEST_F(Win32Faults, ReadOnlyTarget) {
    inject_fault(Operation::create_directories, 1, 0, platform::ERROR_CODE_ACCESS_DENIED);
    EXPECT_EQ(copy(), 1);
    EXPECT_FALSE(fs::exists(scratch / "target"));
    EXPECT_EQ(occurrences(log(), "Error: Could not create directory "), 1u) << log();
}

TEST_F(Win32Faults, SharingViolation) {
    inject_fault(Operation::copy_file, 2, 1, platform::ERROR_CODE_SHARING_VIOLATION);
    EXPECT_EQ(copy(), 1);
    EXPECT_EQ(occurrences(log(), "Copied file: "), 4u);
    EXPECT_EQ(platform::copy_file((scratch / "source/a.txt").string().c_str(),
                                  (scratch / "copy.txt").string().c_str()),
              0u);
}

TEST_F(Win32Faults, VanishedSourceFolder) {
    inject_fault(Operation::find_first_entry, 1, 0, platform::ERROR_CODE_PATH_NOT_FOUND);
    EXPECT_EQ(copy(), 1);
    EXPECT_EQ(occurrences(log(), "Error: Could not open source directory "), 1u) << log();
    EXPECT_EQ(occurrences(log(), "Copied file: "), 0u);
}

TEST_F(Win32Faults, UnwritableLog) {
    inject_fault(Operation::append_open, 1, 0, platform::ERROR_CODE_ACCESS_DENIED);
    EXPECT_EQ(copy(), 0);
    EXPECT_FALSE(fs::exists(scratch / "install.log"));
    EXPECT_GE(count_lost_log_entries(), 5);
}

TEST_F(Win32Faults, LogEntriesLostDuringTheCopy) {
    int lost_before = count_lost_log_entries();
    inject_fault(Operation::append_write, 2, 3, platform::ERROR_CODE_DISK_FULL);
    EXPECT_EQ(copy(), 0);
    EXPECT_EQ(occurrences(log(), "Copied file: "), 2u) << log();
    EXPECT_EQ(count_lost_log_entries() - lost_before, 3);
}

TEST_F(Win32Faults, ModulePathOverride) {
    platform::fault_injection::set_module_path("C:\\dist\\setup.exe");
    char path[260];
    ASSERT_TRUE(platform::get_module_path(path, sizeof path));
    EXPECT_STREQ(path, "C:\\dist\\setup.exe");
}

// A write cut short by a full disk: the append-only handle cannot take the
// part back, so it stays and the result says so.
BOOL WINAPI half_write(HANDLE file, LPCVOID bytes, DWORD length, LPDWORD written, LPOVERLAPPED) {
    platform::real_system_calls().WriteFile(file, bytes, length / 2, written, nullptr);
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

TEST_F(Win32Faults, APartOfAnEntryStays) {
    platform::system_calls().WriteFile = half_write;
    const std::string path = (scratch / "install.log").string();
    platform::AppendResult result = platform::append_to_file(path.c_str(), "0123456789", 10);
    EXPECT_EQ(result.outcome, platform::AppendOutcome::not_written);
    EXPECT_EQ(result.code, platform::ERROR_CODE_DISK_FULL);
    EXPECT_TRUE(result.fragment_left);
    EXPECT_EQ(read_all(path), "01234");
}

// The lists the backend builds, the folders it sets them on, and the
// folders it creates with one ("folder = the list's text").
std::vector<std::string> lists_built, folders_set, folders_created;
std::vector<PSECURITY_DESCRIPTOR> descriptors_built;

BOOL WINAPI record_list(LPCSTR sddl, DWORD revision, PSECURITY_DESCRIPTOR* descriptor,
                        PULONG size) {
    lists_built.push_back(sddl);
    BOOL built = platform::real_system_calls().ConvertStringSecurityDescriptorToSecurityDescriptorA(
        sddl, revision, descriptor, size);
    descriptors_built.push_back(built ? *descriptor : nullptr);
    return built;
}

int WINAPI record_create(HWND window, LPCSTR path, const SECURITY_ATTRIBUTES* security) {
    if (security != nullptr) {
        std::string list = "a descriptor not built from a list";
        for (std::size_t i = 0; i < descriptors_built.size(); ++i)
            if (descriptors_built[i] == security->lpSecurityDescriptor) list = lists_built[i];
        folders_created.push_back(std::string(path) + " = " + list);
    }
    return platform::real_system_calls().SHCreateDirectoryExA(window, path, security);
}

DWORD WINAPI record_set(LPSTR path, SE_OBJECT_TYPE type, SECURITY_INFORMATION what, PSID owner,
                        PSID group, PACL list, PACL audit) {
    EXPECT_EQ(what, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION);
    DWORD result = platform::real_system_calls().SetNamedSecurityInfoA(path, type, what, owner,
                                                                       group, list, audit);
    EXPECT_EQ(result, 0u) << path;
    folders_set.push_back(path);
    return result;
}

std::string token_user() {
    HANDLE token;
    EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    unsigned char info[256];
    DWORD length = 0;
    EXPECT_TRUE(GetTokenInformation(token, TokenUser, info, sizeof info, &length));
    CloseHandle(token);
    char* sid = nullptr;
    EXPECT_TRUE(ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(info)->User.Sid, &sid));
    std::string text = sid;
    LocalFree(sid);
    return text;
}

TEST_F(Win32Faults, NewFoldersOfTheHomesAreProtected) {
    platform::SystemCalls& calls = platform::system_calls();
    auto saved = calls;
    calls.ConvertStringSecurityDescriptorToSecurityDescriptorA = record_list;
    calls.SetNamedSecurityInfoA = record_set;
    calls.SHCreateDirectoryExA = record_create;
    lists_built.clear();
    folders_set.clear();
    folders_created.clear();
    descriptors_built.clear();
    fs::create_directories(scratch / "old");
    SetupParameters p;
    auto set = [](char* field, const fs::path& path) {
        std::snprintf(field, 260, "%s", path.string().c_str());
    };
    set(p.SOURCE_DIR, scratch / "source");
    set(p.SOURCE_DATA_DIR, scratch / "source\\sub");
    set(p.APP_HOME, scratch / "old\\new\\app");
    set(p.DATA_HOME, scratch / "old\\new\\app\\sub");
    bool copied = run_copy_stage(p);
    calls = saved;
    EXPECT_TRUE(copied);
    const std::string user = token_user();
    const std::string list = "D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;" + user + ")";
    EXPECT_EQ(lists_built, (std::vector<std::string>{list + "(A;OICI;0x1200a9;;;AU)",
                                                     list + "(A;OICI;0x1301bf;;;AU)"}));
    // Each is made with its list, before the copy: the first new folder and
    // DATA_HOME, inside it.
    EXPECT_EQ(
        folders_created,
        (std::vector<std::string>{
            (scratch / "old\\new").string() + " = " + list + "(A;OICI;0x1200a9;;;AU)",
            (scratch / "old\\new\\app\\sub").string() + " = " + list + "(A;OICI;0x1301bf;;;AU)"}));
    EXPECT_TRUE(folders_set.empty());
}

std::vector<std::string> roots_asked;

// C: has a known amount free; the share cannot be reached.
BOOL WINAPI record_free_space(LPCSTR root, PULARGE_INTEGER available, PULARGE_INTEGER,
                              PULARGE_INTEGER) {
    roots_asked.push_back(root);
    if (root[0] == '\\') return FALSE;
    available->QuadPart = 123456789012ULL;
    return TRUE;
}

TEST_F(Win32Faults, FreeSpaceIsAskedOfThePathsRoot) {
    auto saved = platform::system_calls().GetDiskFreeSpaceExA;
    platform::system_calls().GetDiskFreeSpaceExA = record_free_space;
    roots_asked.clear();
    unsigned long long free_bytes = 0;
    EXPECT_TRUE(platform::get_free_space("C:\\x\\y", &free_bytes));
    EXPECT_EQ(free_bytes, 123456789012ULL);
    EXPECT_FALSE(platform::get_free_space("\\\\server\\share\\x", &free_bytes));
    platform::system_calls().GetDiskFreeSpaceExA = saved;
    EXPECT_EQ(roots_asked, (std::vector<std::string>{"C:\\", "\\\\server\\share\\"}));
    // The system's own answer for a folder that does not exist yet.
    free_bytes = 0;
    EXPECT_TRUE(platform::get_free_space((scratch / "not\\yet").string().c_str(), &free_bytes));
    EXPECT_GT(free_bytes, 0u);
}

// The shared whole-run cases: each is the whole setup in a child process of
// this exe (main below), with the faults set there, default answers and Y,
// the demo distribution copied into the scratch folder, a sqlplus that
// succeeds on PATH, and C:\XEPDB1 removed first.
class WholeRunFaults : public ::testing::TestWithParam<WholeRunFault> {};

// The source tree's demo distribution, through Wine's drive Z:.
fs::path demo_distribution() {
    std::string path = "Z:" SETUP_SOURCE_DIR "/dist";
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

unsigned long folders_in(const fs::path& folder) {
    unsigned long count = 1;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_directory()) ++count;
    return count;
}

// The exit status of the child, or -2 when it could not be started.
int run_child(const std::string& command_line, const fs::path& answers, const fs::path& output,
              const fs::path& work) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE in = CreateFileA(answers.string().c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit,
                            OPEN_EXISTING, 0, nullptr);
    HANDLE out = CreateFileA(output.string().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = in;
    start.hStdOutput = out;
    start.hStdError = out;
    PROCESS_INFORMATION child = {};
    std::string line = command_line;
    BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                  work.string().c_str(), &start, &child);
    CloseHandle(in);
    CloseHandle(out);
    if (!started) return -2;
    WaitForSingleObject(child.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(child.hProcess, &status);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
    return static_cast<int>(status & 0xFF);
}

TEST_P(WholeRunFaults, OnTheWin32Backend) {
    const WholeRunFault& fault = GetParam();
    const fs::path scratch = fs::temp_directory_path() / (std::string("setup-run-") + fault.name);
    fs::remove_all(scratch);
    fs::remove_all("C:\\XEPDB1");
    const fs::path dist = scratch / "dist";
    fs::create_directories(scratch / "work");
    fs::create_directories(scratch / "bin");
    fs::copy(demo_distribution(), dist, fs::copy_options::recursive);
    std::ofstream(dist / "setup.exe", std::ios::binary);
    std::ofstream(scratch / "bin/sqlplus.bat", std::ios::binary) << "@exit /b 0\r\n";
    std::ofstream(scratch / "answers", std::ios::binary) << "\n\n\n\n\n\nY\n\n";

    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::size_t index = 0;
    while (std::strcmp(whole_run_faults()[index].name, fault.name) != 0) ++index;
    const unsigned long measured = folders_in(dist) + folders_in(dist / "data");
    const std::string command = "\"" + std::string(self) + "\" --whole-run " +
                                std::to_string(index) + " " + std::to_string(measured) + " \"" +
                                (dist / "setup.exe").string() + "\"";
    char path[32767];
    DWORD length = GetEnvironmentVariableA("PATH", path, sizeof path);
    std::string saved_path(path, length < sizeof path ? length : 0);
    SetEnvironmentVariableA("PATH", ((scratch / "bin").string() + ";" + saved_path).c_str());
    int status = run_child(command, scratch / "answers", scratch / "output", scratch / "work");
    SetEnvironmentVariableA("PATH", saved_path.c_str());

    const std::string output = read_all(scratch / "output");
    const bool has_log = fs::exists(scratch / "work/install.log");
    const std::string log = has_log ? read_all(scratch / "work/install.log") : "";
    check_whole_run(fault, status, output, has_log ? &log : nullptr, "C:\\XEPDB1\\QUARNDEL",
                    dist.string(),
                    [](bool ok, const std::string& what) { EXPECT_TRUE(ok) << what; });
    if (HasFailure()) std::printf("%s\n", output.c_str());
    // The desktop that the shortcut started may still hold the working folder.
    std::error_code ignored;
    fs::remove_all("C:\\XEPDB1", ignored);
    fs::remove_all(scratch, ignored);
}

INSTANTIATE_TEST_SUITE_P(Shared, WholeRunFaults, ::testing::ValuesIn(whole_run_faults()),
                         [](const ::testing::TestParamInfo<WholeRunFault>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace

// The child of a whole-run case: the faults of case N (argv[2]; those that
// come after the start-up measure moved past its argv[3] enumerations), the
// distribution's setup.exe as argv[4], then the whole setup.
int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--whole-run") == 0) {
        const WholeRunFault& fault = whole_run_faults().at(std::strtoul(argv[2], nullptr, 10));
        const unsigned long measured = std::strtoul(argv[3], nullptr, 10);
        platform::fault_injection::reset_faults();
        platform::fault_injection::set_module_path(argv[4]);
        for (const InjectedFault& f : fault.faults)
            inject_fault(f.operation, f.first + (f.after_measure ? measured : 0), f.count, f.code);
        return run_setup();
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
