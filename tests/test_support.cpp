#include "tests/test_support.h"

#include <fcntl.h>
#include <ftw.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

ScratchFolder::ScratchFolder() {
    char pattern[] = "/tmp/setup-test-XXXXXX";
    if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

namespace {
int remove_entry(const char* path, const struct stat*, int, struct FTW*) {
    chmod(path, 0700);
    return remove(path);
}
int unlock_entry(const char* path, const struct stat* status, int, struct FTW*) {
    chmod(path, S_ISDIR(status->st_mode) ? 0700 : 0600);
    return 0;
}
}  // namespace

ScratchFolder::~ScratchFolder() {
    nftw(path_.c_str(), unlock_entry, 32, FTW_PHYS);
    nftw(path_.c_str(), remove_entry, 32, FTW_DEPTH | FTW_PHYS);
}

namespace {

// Forks a child with the input as standard input (a file) and one file as
// standard output and error, in the working folder, with the environment
// entries; the child runs the body, which must not return.
ProgramRun run_in_fork(const std::function<void()>& body, const std::string& input,
                       const std::string& working_folder,
                       const std::vector<std::string>& environment) {
    char input_name[] = "/tmp/setup-input-XXXXXX";
    char output_name[] = "/tmp/setup-output-XXXXXX";
    int input_fd = mkstemp(input_name);
    int output_fd = mkstemp(output_name);
    if (input_fd < 0 || output_fd < 0) throw std::runtime_error("mkstemp failed");
    if (write(input_fd, input.data(), input.size()) != static_cast<ssize_t>(input.size())) {
        throw std::runtime_error("cannot write input");
    }
    lseek(input_fd, 0, SEEK_SET);

    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        dup2(input_fd, 0);
        dup2(output_fd, 1);
        dup2(output_fd, 2);
        if (chdir(working_folder.c_str()) != 0) _exit(126);
        for (const std::string& entry : environment) putenv(strdup(entry.c_str()));
        body();
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    close(input_fd);
    close(output_fd);
    ProgramRun run;
    run.output = read_file(output_name);
    run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
    unlink(input_name);
    unlink(output_name);
    return run;
}

}  // namespace

ProgramRun run_program(const std::vector<std::string>& arguments, const std::string& input,
                       const std::string& working_folder,
                       const std::vector<std::string>& environment) {
    auto exec = [&arguments] {
        std::vector<char*> argv;
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
    };
    return run_in_fork(exec, input, working_folder, environment);
}

ProgramRun run_in_child(const std::function<int()>& body, const std::string& input,
                        const std::string& working_folder,
                        const std::vector<std::string>& environment) {
    auto run = [&body] {
        int status = body();
        std::fflush(nullptr);
        _exit(status & 0xFF);
    };
    return run_in_fork(run, input, working_folder, environment);
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

void write_file(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) throw std::runtime_error("cannot write " + path);
}

bool file_exists(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0;
}

void make_folders(const std::string& path) {
    for (std::size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') mkdir(path.substr(0, i).c_str(), 0755);
    }
}

namespace {
std::vector<std::string>* listed = nullptr;
std::size_t listed_prefix = 0;
int list_entry(const char* path, const struct stat*, int type, struct FTW*) {
    if (type == FTW_F) listed->push_back(std::string(path).substr(listed_prefix));
    return 0;
}
}  // namespace

std::vector<std::string> list_files_recursively(const std::string& folder) {
    std::vector<std::string> files;
    listed = &files;
    listed_prefix = folder.size() + 1;
    nftw(folder.c_str(), list_entry, 32, FTW_PHYS);
    listed = nullptr;
    std::sort(files.begin(), files.end());
    return files;
}

std::string crlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

namespace {
void write_executable(const std::string& path, const std::string& content) {
    write_file(path, content);
    if (chmod(path.c_str(), 0755) != 0) throw std::runtime_error("cannot chmod " + path);
}
}  // namespace

std::string make_distribution(const std::string& parent) {
    std::string dist = parent + "/dist";
    for (const char* folder : {"config", "install", "com", "data"})
        make_folders(dist + "/" + folder);
    for (const char* script : {"install_schema", "seed_data", "compile_packages", "lock_schema"})
        write_file(dist + "/install/" + script + ".sql", std::string("PROMPT ") + script + "\r\n");
    write_file(dist + "/com/startora.bat", "@ECHO OFF\r\n");
    write_file(dist + "/data/one.csv", "1,2\r\n");
    write_file(dist + "/data/two.csv", "3,4\r\n");
    write_executable(dist + "/setup", read_file(SETUP_EXE));
    return dist;
}

std::string desktop_folder(const std::string& drive_c) {
    const char* user = std::getenv("USER");
    std::string name = user != nullptr && user[0] != '\0' ? user : getpwuid(getuid())->pw_name;
    return drive_c + "/users/" + name + "/Desktop";
}

std::string windows_path(const std::string& host_path) {
    std::string path = "Z:" + host_path;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

std::vector<std::string> log_lines(const std::string& log) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < log.size()) {
        std::size_t end = log.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back("<torn>" + log.substr(start));
            break;
        }
        std::string line = log.substr(start, end - start);
        if (line.empty() || line.back() != '\r')
            lines.push_back("<torn>" + line);
        else
            lines.push_back(line.substr(0, line.size() - 1));
        start = end + 1;
    }
    return lines;
}

std::string path_starting_with(const std::string& folder) {
    const char* path = std::getenv("PATH");
    return "PATH=" + folder + ":" + (path != nullptr ? path : "/usr/bin:/bin");
}

std::string sqlplus_standin_folder() {
    std::string standin = SQLPLUS_STANDIN_EXE;
    return standin.substr(0, standin.rfind('/'));
}

void ScratchDrives::TearDown() {
    for (auto entry = saved_environment_.rbegin(); entry != saved_environment_.rend(); ++entry) {
        if (entry->second)
            setenv(entry->first.c_str(), entry->second->c_str(), 1);
        else
            unsetenv(entry->first.c_str());
    }
    saved_environment_.clear();
    if (saved_folder_) {
        EXPECT_EQ(chdir(saved_folder_->c_str()), 0) << *saved_folder_;
        saved_folder_.reset();
    }
}

void ScratchDrives::set_environment(const std::string& name, const std::string& value) {
    const char* before = std::getenv(name.c_str());
    saved_environment_.emplace_back(
        name, before != nullptr ? std::optional<std::string>(before) : std::nullopt);
    setenv(name.c_str(), value.c_str(), 1);
}

void ScratchDrives::map_drive(char letter, const std::string& folder) {
    set_environment(std::string("SETUP_DRIVE_") + letter, folder);
}

void ScratchDrives::work_in(const std::string& folder) {
    if (!saved_folder_) {
        char here[4096];
        saved_folder_ = getcwd(here, sizeof here) != nullptr ? here : "/";
    }
    ASSERT_EQ(chdir(folder.c_str()), 0) << folder;
}

std::string ScratchDrives::make_drive_c() {
    std::string drive_c = scratch / "c";
    make_folders(desktop_folder(drive_c));
    map_drive('C', drive_c);
    return drive_c;
}

std::string ScratchDrives::make_install_distribution() {
    std::string dist = scratch / "dist";
    std::filesystem::copy(SOURCE_ROOT "/dist", dist, std::filesystem::copy_options::recursive);
    write_executable(dist + "/setup", read_file(SETUP_EXE));
    return dist;
}

std::string ScratchDrives::make_fake_sqlplus(const std::string& body) {
    make_folders(scratch / "bin");
    write_executable(scratch / "bin/sqlplus", "#!/bin/sh\n" + body + "\n");
    return scratch / "bin";
}

void ScratchInstall::SetUp() {
    drive_c = make_drive_c();
    work = scratch / "work";
    make_folders(work);
    dist = make_install_distribution();
}
