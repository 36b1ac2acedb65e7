// Arbitrary bytes as standard input to the whole dialogue, up to and
// including the confirmation: it must neither crash, hang, nor touch memory
// out of bounds, whatever the operator (or a broken answers file) sends.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "setup/run_setup.h"

namespace {

int input_file = -1;

void prepare_once() {
    if (input_file >= 0) return;
    // A scratch C: drive with a few folders for the directory answers, and
    // a scratch working folder for install.log, inside the folder the fuzzer
    // was started in (the test's scratch folder, removed after the run).
    char here[4096];
    if (getcwd(here, sizeof here) == nullptr) abort();
    std::string root = std::string(here) + "/fuzz-XXXXXX";
    if (mkdtemp(&root[0]) == nullptr) abort();
    for (const char* sub : {"/c", "/c/apps", "/c/with blank", "/c/data", "/work"}) {
        mkdir((root + sub).c_str(), 0755);
    }
    setenv("SETUP_DRIVE_C", (root + "/c").c_str(), 1);
    if (chdir((root + "/work").c_str()) != 0) abort();
    int null_output = open("/dev/null", O_WRONLY);
    dup2(null_output, 1);
    close(null_output);
    input_file = memfd_create("fuzz-input", 0);
    if (input_file < 0) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    prepare_once();
    if (ftruncate(input_file, 0) != 0) abort();
    if (size > 0 && pwrite(input_file, data, size, 0) != static_cast<ssize_t>(size)) abort();
    dup2(input_file, 0);
    lseek(0, 0, SEEK_SET);
    // The log grows with every run; keep it from filling the disk.
    unlink("install.log");

    // The start takes no input; the questions do. The fuzzer's own folder is
    // no distribution, so the questions are asked for one of a typical size.
    SetupParameters parameters;
    const DistributionSize distribution = {40, 20, TreeSize(), TreeSize()};
    ask_and_confirm(parameters, distribution);
    // Every field is still terminated within its capacity.
    if (std::memchr(parameters.APP_HOME, '\0', sizeof parameters.APP_HOME) == nullptr ||
        std::memchr(parameters.DATA_HOME, '\0', sizeof parameters.DATA_HOME) == nullptr ||
        std::memchr(parameters.SQL_APP_HOME, '\0', sizeof parameters.SQL_APP_HOME) == nullptr ||
        std::memchr(parameters.DBCONNECT, '\0', sizeof parameters.DBCONNECT) == nullptr ||
        std::memchr(parameters.PORT, '\0', sizeof parameters.PORT) == nullptr) {
        abort();
    }
    return 0;
}
