#include "platform/win32/append_turn.h"

#include "platform/win32/system_calls.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace platform {
namespace append_turn {
namespace {

// What the runs appending to one file share, in memory every one of them
// maps: how many are up, and how many are appending alone at this moment.
struct Shared {
    LONG runs;
    LONG appending_alone;
};

// This run's part in the turns of one file.
struct Place {
    char path[MAX_PATH];  // as the caller gave it
    HANDLE mapping = nullptr;
    Shared* shared = nullptr;
    HANDLE turn = nullptr;  // the mutex; null: no turns to be had
    bool given_up = false;

    ~Place() {
        leave();
    }

    void leave() {
        if (shared != nullptr) {
            InterlockedDecrement(&shared->runs);
            UnmapViewOfFile(shared);
        }
        if (mapping != nullptr) CloseHandle(mapping);
        if (turn != nullptr) CloseHandle(turn);
        mapping = nullptr;
        shared = nullptr;
        turn = nullptr;
        given_up = false;
    }
};

Place place;

LONG read_shared(volatile LONG* value) {
    return InterlockedCompareExchange(value, 0, 0);
}

// Names the file by what it is, not by how the path reaches it (another
// drive letter mapped to its folder, a short name, another spelling): the
// serial number of its volume and its index there, learned once. It is
// opened as the append opens it, so it is created when missing only where
// the append could create it too.
bool name_of_file(const char* path, unsigned long long* name) {
    HANDLE file = system_calls().CreateFileA_append(path, FILE_APPEND_DATA,
                                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    bool known = system_calls().GetFileInformationByHandle(file, &info) != 0;
    system_calls().CloseHandle(file);
    if (!known) return false;
    unsigned long long h = 14695981039346656037ull;  // FNV-1a
    const DWORD parts[] = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    for (DWORD part : parts) {
        for (int shift = 0; shift < 32; shift += 8)
            h = (h ^ ((part >> shift) & 0xFF)) * 1099511628211ull;
    }
    *name = h;
    return true;
}

// Joins the runs that append to the file. A run that joins while another
// appends alone waits until that append is over: from then on the other
// one takes turns too. False when this run waited the whole time-out.
bool join(const char* path) {
    place.leave();
    std::snprintf(place.path, sizeof place.path, "%s", path);
    unsigned long long hash;
    if (!name_of_file(path, &hash)) return true;
    char name[64];
    std::snprintf(name, sizeof name, "Local\\QuarndelSetupLogRuns-%016llx", hash);
    place.mapping =
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(Shared), name);
    if (place.mapping == nullptr) return true;
    place.shared = static_cast<Shared*>(
        MapViewOfFile(place.mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(Shared)));
    if (place.shared == nullptr) return true;
    std::snprintf(name, sizeof name, "Local\\QuarndelSetupLogTurn-%016llx", hash);
    place.turn = CreateMutexA(nullptr, FALSE, name);
    if (place.turn == nullptr) return true;
    if (InterlockedIncrement(&place.shared->runs) == 1) return true;
    DWORD start = GetTickCount();
    while (read_shared(&place.shared->appending_alone) != 0) {
        if (GetTickCount() - start >= TIME_OUT_MS) return false;
        Sleep(1);
    }
    return true;
}

}  // namespace

Turn take(const char* path, bool even_alone) {
    if (std::strcmp(place.path, path) != 0 && !join(path)) {
        place.given_up = true;
        return Turn::given_up;
    }
    if (place.turn == nullptr || place.given_up) return Turn::none;
    if (!even_alone) {
        // Marked first, then counted: a run that joins after the count
        // sees the mark and waits for this append to end.
        InterlockedIncrement(&place.shared->appending_alone);
        if (read_shared(&place.shared->runs) == 1) return Turn::alone;
        InterlockedDecrement(&place.shared->appending_alone);
    }
    DWORD waited = WaitForSingleObject(place.turn, TIME_OUT_MS);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) return Turn::taken;
    place.given_up = true;
    return Turn::given_up;
}

void give_back(Turn turn) {
    if (turn == Turn::alone) InterlockedDecrement(&place.shared->appending_alone);
    if (turn == Turn::taken) ReleaseMutex(place.turn);
}

}  // namespace append_turn
}  // namespace platform
