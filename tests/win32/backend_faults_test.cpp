// The fault seam's cases on the Win32 backend, the one that ships: the
// faults are failing stand-ins in its system-call table, the copy is the
// program's own, and install.log is written in the scratch folder.
#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "fault_injection.h"
#include "deploy/copy_directory.h"
#include "deploy/copy_stage.h"
#include "platform/platform.h"
#include "platform/win32/start_up.h"
#include "platform/win32/system_calls.h"
#include "setup/home_folders.h"
#include "setup/log_event.h"
#include "setup/run_record.h"
#include "setup/run_setup.h"
#include "tests/fault_cases.h"
#include "tests/prompts.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;
using platform::fault_injection::inject_fault;

std::string read_all(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Puts the system-call table back as it found it (saved) when it goes.
struct RestoredSystemCalls {
    RestoredSystemCalls() : saved(platform::system_calls()) {}
    ~RestoredSystemCalls() {
        platform::system_calls() = saved;
    }
    RestoredSystemCalls(const RestoredSystemCalls&) = delete;
    RestoredSystemCalls& operator=(const RestoredSystemCalls&) = delete;
    const platform::SystemCalls saved;
};

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
        fs::current_path(saved_folder);
        fs::remove_all(scratch);
    }

    std::string log() {
        return read_all(scratch / "install.log");
    }

    RestoredSystemCalls restored_calls;
    fs::path scratch, saved_folder;
};

// A copy that fails without naming an error is a failure all the same.
TEST_F(Win32Faults, ACopyFailingWithoutACodeIsAnError) {
    inject_fault("CopyFileA", 1, 1, 0);
    const fs::path target = scratch / "target";
    EXPECT_EQ(copy_directory((scratch / "source").string().c_str(), target.string().c_str(), -1),
              1);
    EXPECT_EQ(count_occurrences(log(), "Error copying file: "), 1u) << log();
}

// The target's parents are missing, so its creation goes from CreateDirectoryA
// on to the shell; the second folder (sub) fails at both, and alone.
TEST_F(Win32Faults, AFolderThatCannotBeMadeFailsAlone) {
    for (const char* row : {"CreateDirectoryA", "SHCreateDirectoryExA"})
        inject_fault(row, 2, 1, platform::ERROR_CODE_ACCESS_DENIED);
    const fs::path target = scratch / "new\\deeper\\target";
    EXPECT_EQ(copy_directory((scratch / "source").string().c_str(), target.string().c_str(), -1),
              1);
    EXPECT_TRUE(fs::exists(target / "a.txt"));
    EXPECT_FALSE(fs::exists(target / "sub"));
    EXPECT_EQ(count_occurrences(log(), "Error: Could not create directory "), 1u) << log();
    platform::fault_injection::reset_faults();
    EXPECT_EQ(platform::create_directories(target.string().c_str()),
              platform::ERROR_CODE_ALREADY_EXISTS);
    EXPECT_EQ(platform::create_directories((target / "sub").string().c_str()), 0u);
    EXPECT_TRUE(fs::is_directory(target / "sub"));
}

// The copy's opens (path, share, flags), and the handles of the opened
// folders and files, by path.
struct Opened {
    std::string path;
    DWORD share, flags;
};
std::vector<Opened> opens;
std::vector<std::pair<HANDLE, std::string>> open_handles;
std::vector<std::string> removed_folders;
std::string pretend_link;  // this path is shown as a reparse point, once
bool link_stays = false;   // and RemoveDirectoryA cannot remove it
decltype(platform::system_calls().CreateFileA.current) next_create_file;

HANDLE WINAPI record_open(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                          DWORD disposition, DWORD flags, HANDLE model) {
    HANDLE handle = next_create_file(path, access, share, security, disposition, flags, model);
    opens.push_back({path, share, flags});
    open_handles.push_back({handle, path});
    return handle;
}

BOOL WINAPI pretend_reparse_point(HANDLE handle, LPBY_HANDLE_FILE_INFORMATION info) {
    BOOL known = platform::system_calls().GetFileInformationByHandle.real(handle, info);
    for (const auto& [opened, path] : open_handles)
        if (opened == handle && path == pretend_link) {
            info->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
            pretend_link.clear();
        }
    return known;
}

BOOL WINAPI record_remove_folder(LPCSTR path) {
    removed_folders.push_back(path);
    if (link_stays) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return platform::system_calls().RemoveDirectoryA.real(path);
}

// Every folder below the destination, and every file target there, is
// opened as itself (a junction or link, not what it points to) and held
// so that nobody may delete or rename it; a reparse point met there is
// removed and a real folder made, or, where it stays, the entry refused.
TEST_F(Win32Faults, LinksBelowTheDestinationAreNeverFollowed) {
    platform::SystemCalls& calls = platform::system_calls();
    next_create_file = calls.CreateFileA.current;
    calls.CreateFileA.current = record_open;
    calls.GetFileInformationByHandle.current = pretend_reparse_point;
    calls.RemoveDirectoryA.current = record_remove_folder;
    const fs::path target = scratch / "target";
    fs::create_directories(target / "sub");
    std::ofstream(scratch / "outside.txt") << "outside";
    fs::create_hard_link(scratch / "outside.txt", target / "a.txt");
    pretend_link = (target / "sub").string();
    EXPECT_EQ(copy_directory((scratch / "source").string().c_str(), target.string().c_str(), -1), 0)
        << log();
    for (const Opened& o : opens) {
        if (o.path.rfind(target.string() + "\\", 0) != 0) continue;
        EXPECT_NE(o.flags & FILE_FLAG_OPEN_REPARSE_POINT, 0u) << o.path;
        if (fs::is_directory(o.path)) {
            EXPECT_EQ(o.share & FILE_SHARE_DELETE, 0u) << o.path;
        }
    }
    EXPECT_EQ(count_occurrences(log(), "\\sub by a real folder.\r\n"), 1u) << log();
    EXPECT_EQ(removed_folders, std::vector<std::string>{(target / "sub").string()});
    EXPECT_EQ(read_all(target / "sub\\d.txt"), "sub/d.txt");
    EXPECT_EQ(read_all(scratch / "outside.txt"), "outside");
    EXPECT_NE(log().find("Replaced a hard link planted at " + (target / "a.txt").string() +
                         " by a real file.\r\n"),
              std::string::npos)
        << log();

    fs::remove_all(target);
    fs::remove(scratch / "install.log");
    pretend_link = (target / "sub").string();
    link_stays = true;
    EXPECT_EQ(copy_directory((scratch / "source").string().c_str(), target.string().c_str(), -1),
              1);
    link_stays = false;
    EXPECT_NE(log().find("Error: Nothing copied to " + (target / "sub").string() +
                         ": a link planted there could not be removed (Error Code: 5); nothing "
                         "is written through it.\r\n"),
              std::string::npos)
        << log();
    EXPECT_FALSE(fs::exists(target / "sub\\d.txt"));
}

// RedirectionGuard is asked for at start, through the table.
std::vector<std::string> looked_up;
int policy_asked = -1;
DWORD policy_flags = 0;
SIZE_T policy_size = 0;

BOOL WINAPI record_policy(int policy, PVOID buffer, SIZE_T size) {
    policy_asked = policy;
    policy_size = size;
    std::memcpy(&policy_flags, buffer, sizeof policy_flags);
    return TRUE;
}

FARPROC WINAPI offer_policy(HMODULE module, LPCSTR name) {
    looked_up.push_back(name);
    if (std::strcmp(name, "SetProcessMitigationPolicy") != 0)
        return platform::system_calls().GetProcAddress.real(module, name);
    FARPROC recorder;
    auto function = record_policy;
    std::memcpy(&recorder, &function, sizeof recorder);
    return recorder;
}

TEST(SystemCallTable, RedirectionTrustIsRequested) {
    RestoredSystemCalls restored;
    platform::system_calls().GetProcAddress.current = offer_policy;
    EXPECT_TRUE(platform::request_redirection_trust());
    EXPECT_EQ(looked_up, std::vector<std::string>{"SetProcessMitigationPolicy"});
    EXPECT_EQ(policy_asked, 16);  // ProcessRedirectionTrustPolicy
    EXPECT_EQ(policy_flags, 1u);  // EnforceRedirectionTrust
    EXPECT_EQ(policy_size, 4u);
}

// A write cut short by a full disk: the append-only handle cannot take the
// part back, so it stays and the result says so.
BOOL WINAPI half_write(HANDLE file, LPCVOID bytes, DWORD length, LPDWORD written, LPOVERLAPPED) {
    platform::system_calls().WriteFile_append.real(file, bytes, length / 2, written, nullptr);
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

TEST_F(Win32Faults, APartOfAnEntryStays) {
    platform::system_calls().WriteFile_append.current = half_write;
    const std::string path = (scratch / "install.log").string();
    platform::AppendResult result = platform::append_to_file(path.c_str(), "0123456789", 10);
    EXPECT_EQ(result.outcome, platform::AppendOutcome::not_written);
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
    BOOL built = platform::system_calls().ConvertStringSecurityDescriptorToSecurityDescriptorA.real(
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
    return platform::system_calls().SHCreateDirectoryExA.real(window, path, security);
}

DWORD WINAPI record_set(LPSTR path, SE_OBJECT_TYPE type, SECURITY_INFORMATION what, PSID owner,
                        PSID group, PACL list, PACL audit) {
    EXPECT_EQ(what, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION);
    DWORD result = platform::system_calls().SetNamedSecurityInfoA.real(path, type, what, owner,
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
    calls.ConvertStringSecurityDescriptorToSecurityDescriptorA.current = record_list;
    calls.SetNamedSecurityInfoA.current = record_set;
    calls.SHCreateDirectoryExA.current = record_create;
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
    EXPECT_TRUE(run_copy_stage(p));
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

std::vector<std::string> folders_asked;

// C: has a known amount free; the share cannot be reached.
BOOL WINAPI record_free_space(LPCSTR folder, PULARGE_INTEGER available, PULARGE_INTEGER,
                              PULARGE_INTEGER) {
    folders_asked.push_back(folder);
    if (folder[0] == '\\') return FALSE;
    available->QuadPart = 123456789012ULL;
    return TRUE;
}

// Asked of the folder itself, so that a folder a volume is mounted on
// answers for that volume.
TEST_F(Win32Faults, FreeSpaceIsAskedOfTheFolder) {
    platform::FreeSpace space;
    {
        RestoredSystemCalls restored;
        platform::system_calls().GetDiskFreeSpaceExA.current = record_free_space;
        folders_asked.clear();
        EXPECT_TRUE(platform::get_free_space("C:\\windows", &space));
        EXPECT_EQ(space.free_bytes, 123456789012ULL);
        EXPECT_FALSE(platform::get_free_space("\\\\server\\share\\x", &space));
    }
    EXPECT_EQ(folders_asked, (std::vector<std::string>{"C:\\windows", "\\\\server\\share\\x"}));
    // The system's own answer, with the volume's allocation unit and serial.
    EXPECT_TRUE(platform::get_free_space(scratch.string().c_str(), &space));
    EXPECT_GT(space.free_bytes, 0u);
    EXPECT_GE(space.allocation_unit, 512u);
    EXPECT_NE(space.volume, 0u);
}

// Who holds the keys of a home's existing folders: each case's folders are
// made, and the stand-in hands back the descriptor of the case's SDDL for
// each of them (%U: the installing user), as a real machine would.
struct Descriptor {
    const char* folder;
    const char* sddl;                 // null: the share that gives no list
    const char* link_sddl = nullptr;  // the folder is a link or junction with this list
};

std::vector<Descriptor> descriptors;
enum class Volume { lists, no_lists, cannot_be_asked } volume = Volume::lists;

std::string with_user(std::string sddl) {
    static const std::string user = token_user();
    for (std::size_t at = sddl.find("%U"); at != std::string::npos; at = sddl.find("%U"))
        sddl.replace(at, 2, user);
    return sddl;
}

DWORD descriptor_from(const char* text, PSID* owner, PACL* list, PSECURITY_DESCRIPTOR* descriptor) {
    const std::string sddl = text != nullptr ? with_user(text) : "D:NO_ACCESS_CONTROL";
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1,
                                                              descriptor, nullptr))
        return ERROR_INVALID_SECURITY_DESCR;
    BOOL present = FALSE, defaulted = FALSE;
    *owner = nullptr;
    *list = nullptr;
    GetSecurityDescriptorOwner(*descriptor, owner, &defaulted);
    GetSecurityDescriptorDacl(*descriptor, &present, list, &defaulted);
    // Wine makes an empty list of NO_ACCESS_CONTROL; Windows none.
    if (sddl.find("NO_ACCESS_CONTROL") != std::string::npos) *list = nullptr;
    return ERROR_SUCCESS;
}

// By name, the list of what a link leads to.
DWORD WINAPI descriptor_of(LPCSTR path, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID* owner, PSID*,
                           PACL* list, PACL*, PSECURITY_DESCRIPTOR* descriptor) {
    for (const Descriptor& d : descriptors)
        if (std::strcmp(d.folder, path) == 0)
            return descriptor_from(d.sddl, owner, list, descriptor);
    ADD_FAILURE() << "list asked of " << path;
    return ERROR_FILE_NOT_FOUND;
}

// A case's link is one only where it is opened as itself, not followed:
// the handles so opened, with the link's own list.
std::map<HANDLE, const char*> links_open;

HANDLE WINAPI open_of(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                      DWORD disposition, DWORD flags, HANDLE model) {
    HANDLE handle = platform::system_calls().CreateFileA.real(path, access, share, security,
                                                              disposition, flags, model);
    for (const Descriptor& d : descriptors)
        if (d.link_sddl != nullptr && std::strcmp(d.folder, path) == 0 &&
            (flags & FILE_FLAG_OPEN_REPARSE_POINT) != 0)
            links_open[handle] = d.link_sddl;
    return handle;
}

BOOL WINAPI information_of(HANDLE handle, LPBY_HANDLE_FILE_INFORMATION info) {
    BOOL known = platform::system_calls().GetFileInformationByHandle.real(handle, info);
    if (links_open.count(handle) != 0) info->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    return known;
}

DWORD WINAPI link_descriptor_of(HANDLE handle, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID* owner,
                                PSID*, PACL* list, PACL*, PSECURITY_DESCRIPTOR* descriptor) {
    EXPECT_EQ(links_open.count(handle), 1u) << "a link's list asked of what is no link";
    return descriptor_from(links_open[handle], owner, list, descriptor);
}

BOOL WINAPI close_of(HANDLE handle) {
    links_open.erase(handle);
    return platform::system_calls().CloseHandle.real(handle);
}

BOOL WINAPI volume_of(LPCSTR, LPSTR, DWORD, LPDWORD, LPDWORD, LPDWORD flags, LPSTR, DWORD) {
    *flags = volume == Volume::lists ? FILE_PERSISTENT_ACLS : 0;
    return volume != Volume::cannot_be_asked;
}

// Names as a machine's accounts, one with a control character in it.
BOOL WINAPI account_of(LPCSTR, PSID sid, LPSTR name, LPDWORD name_size, LPSTR domain,
                       LPDWORD domain_size, PSID_NAME_USE use) {
    char* text = nullptr;
    ConvertSidToStringSidA(sid, &text);
    const std::string id = text;
    LocalFree(text);
    const struct {
        const char *sid, *domain, *name;
    } known[] = {{"S-1-1-0", "", "Everyone"},
                 {"S-1-5-11", "NT AUTHORITY", "Authenticated Users"},
                 {"S-1-5-32-545", "BUILTIN", "Users"},
                 {"S-1-5-21-1-2-3-1001", "PC", "mallory"},
                 {"S-1-5-21-1-2-3-1002", "PC", "eve\x1b[2J"}};
    for (const auto& k : known) {
        if (id != k.sid) continue;
        std::snprintf(name, *name_size, "%s", k.name);
        std::snprintf(domain, *domain_size, "%s", k.domain);
        *use = SidTypeUser;
        return TRUE;
    }
    SetLastError(ERROR_NONE_MAPPED);
    return FALSE;
}

// The root of C: as Windows sets it; a secondary drive's root, which gives
// Authenticated Users modify on everything below it.
#define WINDOWS_ROOT                                                                        \
    "O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464D:PAI(A;OICI;FA;;;BA)" \
    "(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)(A;OICIIO;0x1301bf;;;AU)(A;;0x4;;;AU)"
#define SECONDARY_ROOT \
    "O:BAD:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1301bf;;;AU)(A;OICI;0x1200a9;;;BU)"
// What a folder made under either root without a list of its own inherits.
#define INHERITED \
    "D:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)(A;OICIID;0x1301bf;;;AU)"
// The list the install gives its first new folder, and what is below it inherits.
#define OURS "D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;%U)(A;OICI;0x1200a9;;;AU)"
#define OURS_INHERITED \
    "D:AI(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BA)(A;OICIID;FA;;;%U)(A;OICIID;0x1200a9;;;AU)"

struct KeysCase {
    const char* name;
    const char* home;
    HomeKind kind;
    Volume volume;
    std::vector<Descriptor> folders;  // the root first, then from the top down
    const char* unsafe_folder;        // null: accepted
    bool by_owner;
    const char* account;
};

// clang-format off
const KeysCase KEYS_CASES[] = {
    {"XepdbMadeByAUser", "C:\\XEPDB1\\QUARNDEL", HomeKind::app, Volume::lists,
     {{"C:\\", WINDOWS_ROOT}, {"C:\\XEPDB1", "O:S-1-5-21-1-2-3-1001" INHERITED}},
     "C:\\XEPDB1", true, "PC\\mallory"},
    {"XepdbMadeByAnAdministrator", "C:\\XEPDB1\\QUARNDEL", HomeKind::app, Volume::lists,
     {{"C:\\", WINDOWS_ROOT}, {"C:\\XEPDB1", "O:BA" INHERITED}},
     "C:\\XEPDB1", false, "NT AUTHORITY\\Authenticated Users"},
    {"XepdbWithAProtectedList", "C:\\XEPDB1\\QUARNDEL", HomeKind::app, Volume::lists,
     {{"C:\\", WINDOWS_ROOT}, {"C:\\XEPDB1", "O:BA" OURS}}, nullptr, false, ""},
    {"QuarndelMadeByAUser", "C:\\XEPDB1\\QUARNDEL", HomeKind::app, Volume::lists,
     {{"C:\\", WINDOWS_ROOT}, {"C:\\XEPDB1", "O:BA" OURS},
      {"C:\\XEPDB1\\QUARNDEL", "O:S-1-5-21-1-2-3-1002" OURS_INHERITED}},
     "C:\\XEPDB1\\QUARNDEL", true, "PC\\eve<U+001B>[2J"},
    // A secondary drive's D:\apps, here on C:.
    {"AppsWithUsersModify", "C:\\apps\\XEPDB1\\QUARNDEL", HomeKind::app, Volume::lists,
     {{"C:\\", SECONDARY_ROOT}, {"C:\\apps", "O:BA" INHERITED}},
     "C:\\apps", false, "NT AUTHORITY\\Authenticated Users"},
    {"AppsWithUsersReadAndExecute", "C:\\apps\\XEPDB1\\QUARNDEL", HomeKind::app, Volume::lists,
     {{"C:\\", SECONDARY_ROOT},
      {"C:\\apps", "O:BAD:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;AU)"}},
     nullptr, false, ""},
    {"UpgradeOverOurInstall", "C:\\XEPDB1\\QUARNDEL", HomeKind::app, Volume::lists,
     {{"C:\\", WINDOWS_ROOT}, {"C:\\XEPDB1", "O:%U" OURS},
      {"C:\\XEPDB1\\QUARNDEL", "O:%U" OURS_INHERITED},
      {"C:\\XEPDB1\\QUARNDEL\\config", "O:%U" OURS_INHERITED},
      {"C:\\XEPDB1\\QUARNDEL\\install", "O:%U" OURS_INHERITED},
      {"C:\\XEPDB1\\QUARNDEL\\com", "O:%U" OURS_INHERITED}},
     nullptr, false, ""},
    {"DataHomeOutsideWithUsersModify", "C:\\data\\XEPDB1\\QUARNDEL\\data", HomeKind::data, Volume::lists,
     {{"C:\\", SECONDARY_ROOT}, {"C:\\data", "O:BA" INHERITED},
      {"C:\\data\\XEPDB1", "O:%U" OURS}, {"C:\\data\\XEPDB1\\QUARNDEL", "O:%U" OURS_INHERITED},
      {"C:\\data\\XEPDB1\\QUARNDEL\\data", "O:%U" OURS_INHERITED "(A;OICI;0x1301bf;;;AU)"}},
     nullptr, false, ""},
    {"DataHomeOthersMayRelist", "C:\\data\\XEPDB1\\QUARNDEL\\data", HomeKind::data, Volume::lists,
     {{"C:\\", SECONDARY_ROOT}, {"C:\\data", "O:BA" INHERITED "(A;;0x40000;;;BU)"}},
     "C:\\data", false, "BUILTIN\\Users"},
    // Deny entries only take rights away; an entry for children only
    // reaches what the copy makes, which its own list protects...
    {"DenyAndChildrenOnlyAbove", "C:\\XEPDB1\\QUARNDEL", HomeKind::app, Volume::lists,
     {{"C:\\", WINDOWS_ROOT},
      {"C:\\XEPDB1", "O:BA" OURS "(D;OICI;FA;;;AU)(A;OICIIO;0x1301bf;;;AU)"}},
     nullptr, false, ""},
    // ...but inside an existing APP_HOME the copied files inherit it.
    {"ChildrenOnlyInsideAppHome", "C:\\XEPDB1\\QUARNDEL", HomeKind::app, Volume::lists,
     {{"C:\\", WINDOWS_ROOT}, {"C:\\XEPDB1", "O:BA" OURS},
      {"C:\\XEPDB1\\QUARNDEL", "O:BA" OURS_INHERITED},
      {"C:\\XEPDB1\\QUARNDEL\\com", "O:BA" OURS_INHERITED "(A;OICIIO;0x120116;;;BU)"}},
     "C:\\XEPDB1\\QUARNDEL\\com", false, "BUILTIN\\Users"},
    {"RootLettingUsersDeleteChildren", "C:\\XEPDB1\\QUARNDEL", HomeKind::app, Volume::lists,
     {{"C:\\", WINDOWS_ROOT "(A;;0x40;;;AU)"}},
     "C:\\", false, "NT AUTHORITY\\Authenticated Users"},
    // No list: every user may do anything, where the volume keeps lists...
    {"NoListOnAVolumeWithLists", "C:\\XEPDB1\\QUARNDEL", HomeKind::app, Volume::lists,
     {{"C:\\", WINDOWS_ROOT}, {"C:\\XEPDB1", "O:BAD:NO_ACCESS_CONTROL"}},
     "C:\\XEPDB1", false, "Everyone"},
    // ...but where no list is to be had, nothing is refused.
    {"ShareThatGivesNoList", "\\\\server\\share\\XEPDB1\\QUARNDEL", HomeKind::app,
     Volume::cannot_be_asked,
     {{"\\\\server\\share\\", nullptr}}, nullptr, false, ""},
    // A link or junction is judged as itself (opened so), by its owner and
    // by who may rewrite or remove it even where users may modify folders,
    // and what it leads to after it.
    {"JunctionMadeByAUser", "C:\\apps\\XEPDB1\\QUARNDEL", HomeKind::app, Volume::lists,
     {{"C:\\", WINDOWS_ROOT}, {"C:\\apps", "O:BA" OURS, "O:S-1-5-21-1-2-3-1001" OURS}},
     "C:\\apps", true, "PC\\mallory"},
    {"LinkUsersMayRewrite", "C:\\data\\XEPDB1\\QUARNDEL\\data", HomeKind::data, Volume::lists,
     {{"C:\\", WINDOWS_ROOT}, {"C:\\data", "O:BA" OURS, "O:BA" INHERITED}},
     "C:\\data", false, "NT AUTHORITY\\Authenticated Users"},
    {"JunctionOfAnAdministratorToAUsersFolder", "C:\\apps\\XEPDB1\\QUARNDEL", HomeKind::app,
     Volume::lists,
     {{"C:\\", WINDOWS_ROOT}, {"C:\\apps", "O:S-1-5-21-1-2-3-1001" OURS, "O:BA" OURS}},
     "C:\\apps", true, "PC\\mallory"},
    {"FatVolume", "C:\\XEPDB1\\QUARNDEL", HomeKind::app, Volume::no_lists,
     {{"C:\\", WINDOWS_ROOT}, {"C:\\XEPDB1", "O:S-1-5-21-1-2-3-1001" INHERITED}},
     nullptr, false, ""},
};
// clang-format on

// install.log goes to one folder for all cases: a list that could not be
// read is said once per run.
class ExistingFolders : public ::testing::TestWithParam<KeysCase> {
  protected:
    static void SetUpTestSuite() {
        fs::remove_all(log_folder());
        fs::create_directories(log_folder());
    }
    static void TearDownTestSuite() {
        fs::remove_all(log_folder());
    }
    static fs::path log_folder() {
        return fs::temp_directory_path() / "setup-keys-log";
    }
    void SetUp() override {
        saved_folder = fs::current_path();
        fs::current_path(log_folder());
        saved = platform::system_calls();
        platform::system_calls().GetNamedSecurityInfoA.current = descriptor_of;
        platform::system_calls().GetVolumeInformationA.current = volume_of;
        platform::system_calls().LookupAccountSidA.current = account_of;
        platform::system_calls().CreateFileA.current = open_of;
        platform::system_calls().GetFileInformationByHandle.current = information_of;
        platform::system_calls().GetSecurityInfo.current = link_descriptor_of;
        platform::system_calls().CloseHandle.current = close_of;
    }
    void TearDown() override {
        platform::system_calls() = saved;
        EXPECT_TRUE(links_open.empty()) << "a link's handle left open";
        links_open.clear();
        descriptors.clear();
        volume = Volume::lists;
        for (const char* top : {"C:\\XEPDB1", "C:\\apps", "C:\\data"}) fs::remove_all(top);
        fs::current_path(saved_folder);
    }
    platform::SystemCalls saved;
    fs::path saved_folder;
};

TEST_P(ExistingFolders, GiveTheirVerdict) {
    const KeysCase& c = GetParam();
    for (std::size_t i = 1; i < c.folders.size(); ++i) fs::create_directories(c.folders[i].folder);
    descriptors = c.folders;
    volume = c.volume;
    UnsafeFolder unsafe;
    const bool safe = home_folders_safe(c.home, c.kind, &unsafe);
    EXPECT_EQ(safe, c.unsafe_folder == nullptr);
    if (!safe && c.unsafe_folder != nullptr) {
        EXPECT_STREQ(unsafe.folder, c.unsafe_folder);
        EXPECT_EQ(unsafe.check.owner_unsafe, c.by_owner);
        EXPECT_STREQ(unsafe.check.account, c.account);
    }
    if (c.volume != Volume::lists) {
        EXPECT_EQ(count_occurrences(read_all(log_folder() / "install.log"), "could not be checked"),
                  1u);
    }
}

INSTANTIATE_TEST_SUITE_P(Lists, ExistingFolders, ::testing::ValuesIn(KEYS_CASES),
                         [](const ::testing::TestParamInfo<KeysCase>& info) {
                             return std::string(info.param.name);
                         });

// A volume without lists leaves a folder as it is; one that cannot tell
// gets the list set, on a new folder once more, so that a failure is told.
TEST_F(Win32Faults, ListsAreSetWhereTheVolumeCannotTell) {
    platform::system_calls().GetVolumeInformationA.current = volume_of;
    platform::system_calls().SetNamedSecurityInfoA.current = record_set;
    folders_set.clear();
    const std::string made = (scratch / "made").string(), old = (scratch / "source").string();
    volume = Volume::no_lists;
    EXPECT_EQ(platform::create_protected_folder(made.c_str(), false),
              platform::ERROR_CODE_NOT_SUPPORTED);
    EXPECT_EQ(platform::protect_folder(old.c_str(), false), platform::ERROR_CODE_NOT_SUPPORTED);
    volume = Volume::cannot_be_asked;
    EXPECT_EQ(platform::create_protected_folder((made + "2").c_str(), false), 0u);
    EXPECT_EQ(platform::protect_folder(old.c_str(), false), 0u);
    volume = Volume::lists;
    EXPECT_EQ(folders_set, (std::vector<std::string>{made + "2", old}));
}

// Someone makes the first new folder between the check and the copy: the
// stage copies nothing into it and fails, and says why. Either call that
// creates a folder finds it made just before.
int WINAPI made_first(HWND window, LPCSTR path, const SECURITY_ATTRIBUTES* security) {
    CreateDirectoryA(path, nullptr);
    return platform::system_calls().SHCreateDirectoryExA.real(window, path, security);
}

BOOL WINAPI made_first_too(LPCSTR path, LPSECURITY_ATTRIBUTES security) {
    CreateDirectoryA(path, nullptr);
    return platform::system_calls().CreateDirectoryA.real(path, security);
}

TEST_F(Win32Faults, FirstNewFolderMadeByAnotherIsRefused) {
    SetupParameters p;
    std::snprintf(p.SOURCE_DIR, sizeof p.SOURCE_DIR, "%s", (scratch / "source").string().c_str());
    std::snprintf(p.SOURCE_DATA_DIR, sizeof p.SOURCE_DATA_DIR, "%s",
                  (scratch / "source\\sub").string().c_str());
    std::snprintf(p.APP_HOME, sizeof p.APP_HOME, "%s", (scratch / "new\\app").string().c_str());
    std::snprintf(p.DATA_HOME, sizeof p.DATA_HOME, "%s",
                  (scratch / "new\\app\\data").string().c_str());
    bool copied;
    {
        RestoredSystemCalls restored;
        platform::system_calls().SHCreateDirectoryExA.current = made_first;
        platform::system_calls().CreateDirectoryA.current = made_first_too;
        copied = run_copy_stage(p);
    }
    EXPECT_FALSE(copied);
    EXPECT_TRUE(fs::is_empty(scratch / "new"));
    // Neither SQL*Plus nor the shortcut takes what is there for this run's.
    EXPECT_TRUE(copy_failed_at((scratch / "new\\app\\com\\startora.bat").string().c_str()));
    EXPECT_EQ(count_occurrences(log(), (scratch / "new").string() +
                                           " was made by someone else after the directory was "
                                           "checked; nothing is copied into it."),
              1u)
        << log();
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
    fs::create_directories(scratch / "bin");
    fs::copy(demo_distribution(), dist, fs::copy_options::recursive);
    std::ofstream(dist / "setup.exe", std::ios::binary);
    std::ofstream(scratch / "bin/sqlplus.bat", std::ios::binary) << "@exit /b 0\r\n";
    std::ofstream(scratch / "answers", std::ios::binary) << default_answers() + "\n";

    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::size_t index = 0;
    while (std::strcmp(whole_run_faults()[index].name, fault.name) != 0) ++index;
    const unsigned long measured = folders_in(dist);  // the start-up measure reads each folder once
    // The whole setup from the folder, with case n's faults (none past the
    // table's end); its output and install.log stay in the folder.
    auto run = [&](std::size_t n, const fs::path& work) {
        fs::create_directories(work);
        const std::string command = "\"" + std::string(self) + "\" --whole-run " +
                                    std::to_string(n) + " " + std::to_string(measured) + " \"" +
                                    (dist / "setup.exe").string() + "\"";
        char path[32767];
        DWORD length = GetEnvironmentVariableA("PATH", path, sizeof path);
        std::string saved_path(path, length < sizeof path ? length : 0);
        SetEnvironmentVariableA("PATH", ((scratch / "bin").string() + ";" + saved_path).c_str());
        int status = run_child(command, scratch / "answers", work / "output", work);
        SetEnvironmentVariableA("PATH", saved_path.c_str());
        return status;
    };
    // A clean run first, for the log's counts.
    ASSERT_EQ(run(whole_run_faults().size(), scratch / "clean"), 0);
    const auto [clean_lines, clean_entries] =
        count_log_lines(read_all(scratch / "clean/install.log"));
    fs::remove_all("C:\\XEPDB1");
    int status = run(index, scratch / "work");

    const std::string output = read_all(scratch / "work/output");
    const bool has_log = fs::exists(scratch / "work/install.log");
    const std::string log = has_log ? read_all(scratch / "work/install.log") : "";
    auto files_in = [](const fs::path& folder) {
        int count = 0;
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.is_regular_file()) ++count;
        return count;
    };
    const RunPlaces places{"C:\\XEPDB1\\QUARNDEL", dist.string(), files_in(dist),
                           files_in(dist / "data"), clean_lines, clean_entries};
    check_whole_run(
        fault, status, output, has_log ? &log : nullptr, places,
        [](bool ok, const std::string& what) { EXPECT_TRUE(ok) << what; },
        [](const std::string& windows) { return fs::exists(windows); });
    if (HasFailure()) std::printf("%s\n", output.c_str());
    // The desktop that the shortcut started may still hold the working folder.
    std::error_code ignored;
    fs::remove_all("C:\\XEPDB1", ignored);
    fs::remove_all(scratch, ignored);
}

DWORD WINAPI print_set(LPSTR path, SE_OBJECT_TYPE type, SECURITY_INFORMATION what, PSID owner,
                       PSID group, PACL list, PACL audit) {
    std::printf("List set on %s\n", path);
    return platform::system_calls().SetNamedSecurityInfoA.real(path, type, what, owner, group, list,
                                                               audit);
}

// A folder made with its list from the start.
int WINAPI print_made(HWND window, LPCSTR path, const SECURITY_ATTRIBUTES* security) {
    if (security != nullptr) std::printf("List set on %s\n", path);
    return platform::system_calls().SHCreateDirectoryExA.real(window, path, security);
}

// The shortcut's COM steps and the command's interpreter go through the
// table too: each failing step is reported as that step, with its code.
HRESULT WINAPI refuse_com(LPVOID) {
    return E_OUTOFMEMORY;
}
HRESULT WINAPI no_shell_link(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID* object) {
    *object = nullptr;
    return REGDB_E_CLASSNOTREG;
}
HRESULT WINAPI no_desktop(HWND, int, HANDLE, DWORD, LPSTR) {
    return E_FAIL;
}
std::string interpreted;
int WINAPI no_interpreter(const char* line) {
    interpreted = line;
    errno = ENOENT;
    return -1;
}

TEST(SystemCallTable, ShortcutAndCommandStepsFailAsTheirOwn) {
    RestoredSystemCalls restored;
    platform::SystemCalls& calls = platform::system_calls();
    struct Step {
        void (*fail)(platform::SystemCalls&);
        platform::ShortcutStep step;
        long code;
    };
    const Step steps[] = {
        {[](platform::SystemCalls& c) { c.CoInitialize.current = refuse_com; },
         platform::ShortcutStep::com_initialisation, E_OUTOFMEMORY},
        {[](platform::SystemCalls& c) { c.CoCreateInstance.current = no_shell_link; },
         platform::ShortcutStep::object_creation, REGDB_E_CLASSNOTREG},
        {[](platform::SystemCalls& c) { c.SHGetFolderPathA.current = no_desktop; },
         platform::ShortcutStep::desktop_lookup, E_FAIL},
    };
    for (const Step& step : steps) {
        calls = restored.saved;
        step.fail(calls);
        const platform::ShortcutResult result =
            platform::save_desktop_shortcut("C:\\x\\run.bat", "C:\\x", "x", "setup-table-test");
        EXPECT_EQ(result.failed_step, step.step);
        EXPECT_EQ(result.code, step.code);
    }
    calls = restored.saved;
    calls.system.current = no_interpreter;
    const platform::CommandResult command = platform::run_command("cmd /c exit 0");
    EXPECT_FALSE(command.started);
    EXPECT_NE(interpreted.find("cmd.exe"), std::string::npos) << interpreted;
}

// A directory answer with .. is resolved before anything is made: the list
// goes on the first folder the install really makes, and the folder that ..
// removed is never made (the whole setup in a child, as above).
TEST(ResolvedAnswers, ListOnTheFolderThatDotDotLeaves) {
    const fs::path scratch = fs::temp_directory_path() / "setup-run-dot-dot";
    fs::remove_all(scratch);
    fs::create_directories(scratch / "work");
    fs::create_directories(scratch / "existing");
    const fs::path dist = scratch / "dist";
    fs::copy(demo_distribution(), dist, fs::copy_options::recursive);
    const std::string answer = (scratch / "new\\..\\existing").string();
    std::ofstream(scratch / "answers", std::ios::binary)
        << answers_with({{"app installation", answer}, {"data directory", answer}}) + "\n";
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string command =
        "\"" + std::string(self) + "\" --record-lists \"" + (dist / "setup.exe").string() + "\"";
    run_child(command, scratch / "answers", scratch / "output", scratch / "work");
    const std::string output = read_all(scratch / "output");
    const std::string existing = (scratch / "existing").string();
    EXPECT_NE(output.find("APP_HOME directory = " + existing + "\\XEPDB1\\QUARNDEL\r\n"),
              std::string::npos)
        << output;
    EXPECT_EQ(count_occurrences(output, "List set on "), 2u) << output;
    EXPECT_NE(output.find("List set on " + existing + "\\XEPDB1\r\n"), std::string::npos);
    EXPECT_NE(output.find("List set on " + existing + "\\XEPDB1\\QUARNDEL\\data\r\n"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(scratch / "new"));
    std::error_code ignored;
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
        static const WholeRunFault clean{};  // past the table's end: no fault
        const std::size_t index = std::strtoul(argv[2], nullptr, 10);
        const WholeRunFault& fault =
            index < whole_run_faults().size() ? whole_run_faults()[index] : clean;
        const unsigned long measured = std::strtoul(argv[3], nullptr, 10);
        platform::fault_injection::reset_faults();
        platform::fault_injection::set_module_path(argv[4]);
        for (const InjectedFault& f : fault.faults)
            inject_fault(f.win32_row, f.first + (f.after_measure ? measured : 0), f.count, f.code);
        return run_setup();
    }
    if (argc == 3 && std::strcmp(argv[1], "--record-lists") == 0) {
        platform::fault_injection::reset_faults();
        platform::fault_injection::set_module_path(argv[2]);
        platform::system_calls().SetNamedSecurityInfoA.current = print_set;
        platform::system_calls().SHCreateDirectoryExA.current = print_made;
        return run_setup();
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
