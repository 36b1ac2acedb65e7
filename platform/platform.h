// The one interface between the setup program and the operating system.
//
// Every path that crosses this interface is a Windows path (X:\dir\file, or
// a relative path resolved against the working directory), on every
// platform. The Win32 backend hands it to Windows unchanged; the POSIX
// backend maps drive letter X to the host folder named by SETUP_DRIVE_X
// (Z: is the host root unless SETUP_DRIVE_Z says otherwise).
//
// Error codes are Windows error codes (0 means success) on every platform.
#pragma once

#include <cstddef>
#include <cstdio>

namespace platform {

// Windows error codes the program reacts to or reports.
constexpr unsigned long ERROR_CODE_FILE_NOT_FOUND = 2;
constexpr unsigned long ERROR_CODE_PATH_NOT_FOUND = 3;
constexpr unsigned long ERROR_CODE_ACCESS_DENIED = 5;
constexpr unsigned long ERROR_CODE_SHARING_VIOLATION = 32;
constexpr unsigned long ERROR_CODE_NOT_SUPPORTED = 50;
constexpr unsigned long ERROR_CODE_FILE_EXISTS = 80;
constexpr unsigned long ERROR_CODE_DISK_FULL = 112;
constexpr unsigned long ERROR_CODE_BAD_PATHNAME = 161;
constexpr unsigned long ERROR_CODE_ALREADY_EXISTS = 183;
constexpr unsigned long ERROR_CODE_FILENAME_TOO_LONG = 206;

// ---- Standard input and output -------------------------------------------

// Reads one byte of standard input without reading ahead, so whatever this
// program does not read stays for a child process that inherits the input.
// Returns the byte (0..255), or -1 at end of input or on a read error.
int read_input_byte();

// Writes the bytes to standard output at once (nothing is held back).
void write_output(const char* text, std::size_t length);

// ---- The console (progress bar) ------------------------------------------

// Stores the line the cursor stands on, as a row for the calls below; rows
// handed out in one run never repeat nor wrap, and name their line wherever
// the console's content has scrolled it. Returns false when standard output
// is not a console; no row exists then.
bool get_cursor_row(long* row);

// Moves the cursor to the column of a row handed out (a column beyond the
// console's width goes on in the rows below, as written text does). The
// bar's row, once its line has left the screen, is drawn again below first.
void set_cursor_position(long row, long column);

// Sets the Windows character attribute for what is written next
// (2 green, 4 red, 7 the default light grey).
void set_text_attribute(unsigned short attribute);

// Stands for the attribute in force, in write_cells.
constexpr unsigned short ATTRIBUTE_IN_FORCE = 0xFFFF;

// Puts count characters, each with its own attribute, into the cells of the
// row from the column on, and leaves the cursor after the last of them, as
// writing them there would. The attribute in force afterwards is unchanged.
// Where the row's line has left the screen, or its cells would wrap onto
// text written below it, they go on a new line below everything written.
// Writes in quick succession may reach the console together, but always
// before anything else is written, moved or read.
void write_cells(long row, long column, const char* text, const unsigned short* attributes,
                 std::size_t count);

// ---- Files and folders ---------------------------------------------------

// Stores the full path of the running executable. False when it cannot be had.
bool get_module_path(char* field, std::size_t capacity);

// True when the path names an existing directory (the runtime's file status query).
bool is_directory(const char* path);

// True when both paths name the same existing file or folder.
bool same_file(const char* first, const char* second);

// How a whole-file write went.
enum class WriteOutcome {
    written,      // the file holds the text and nothing else
    not_opened,   // the file could not be created (or replaced)
    not_written,  // created, but the text is not all in it
};

// Creates the file, or replaces the one there, and writes the text into it
// as Windows text: each "\n" of the text is written as "\r\n". A file not
// completely written is left as it is (the caller removes it).
WriteOutcome write_text_file(const char* path, const char* text);

// How an append went.
enum class AppendOutcome {
    appended,     // every byte is at the end of the file
    not_opened,   // the file could not be opened (or created) for appending
    not_written,  // opened, but the bytes are not all in it
};

struct AppendResult {
    AppendOutcome outcome;
    bool fragment_left;                 // not_written with a part of the bytes left at the end
    bool stopped_taking_turns = false;  // this append waited the whole time-out (see below)
};

// Opens the file for appending only (creating it when missing), puts the
// bytes at its end in one write and closes it. Other programs appending to
// the same file at the same time never overwrite these bytes, nor these
// theirs: they take turns, waiting a few seconds at most, and a run that
// once waited that long for its turn stops taking turns (and says so).
// When only a part could be written (a full disk), the part is taken back
// only where no other writer can have appended after it; otherwise it stays
// and fragment_left says so. (POSIX takes it back under its write lock;
// Win32's append-only handle cannot, so there it stays.)
AppendResult append_to_file(const char* path, const char* bytes, std::size_t length);

// True when the file exists, is not empty and its last byte is not a line
// feed (an entry cut short by a run that was killed while writing it).
bool ends_within_a_line(const char* path);

// Deletes a file. False when it could not be deleted.
bool remove_file(const char* path);

// Creates the directory and every missing parent. Returns 0 on success,
// ERROR_CODE_ALREADY_EXISTS when it already exists, another code otherwise.
unsigned long create_directories(const char* path);

// One directory entry as the enumeration reports it.
//
// The name is 8-bit text, like every path of the program. On Windows the
// system keeps names in UTF-16, and some have no exact spelling in the ANSI
// code page (a name with characters of another script): has_exact_name is
// false for those. Their name is then only a description for messages, with
// each character that cannot be spelled written as <U+XXXX>; it names no
// file, and a path made from it must never be opened, created or copied to.
// Where names are 8-bit bytes already (POSIX) has_exact_name is always true.
struct DirectoryEntry {
    char name[260];
    bool is_directory;
    bool has_exact_name;
    unsigned long long size;  // a file's size in bytes; 0 for a folder (or not asked for)
};

struct DirectoryScan;  // an open enumeration

// Whether an enumeration's entries carry their files' sizes. Windows gives
// them with the names; elsewhere each costs a question to the system, so a
// caller that does not read them says so.
enum class EntrySizes { wanted, not_needed };

// Starts enumerating the entries that match "folder\*" ("." and ".."
// included) and stores the first one. Null when it cannot be started.
// With sizes not_needed, an entry's size may be 0 for a file.
DirectoryScan* find_first_entry(const char* pattern, DirectoryEntry* entry,
                                EntrySizes sizes = EntrySizes::wanted);

// Stores the next entry; false when there is none.
bool find_next_entry(DirectoryScan* scan, DirectoryEntry* entry);

void find_close(DirectoryScan* scan);

// Stores the size in bytes of the file the path names. False when it names
// no file (nothing there, or a folder).
bool get_file_size(const char* path, unsigned long long* size);

// What a volume has to give, as the folder asked learns it.
struct FreeSpace {
    unsigned long long free_bytes;       // free for the caller
    unsigned long long allocation_unit;  // the bytes a file's size is rounded up to
    unsigned long long volume;           // tells volumes apart: equal on one volume
};

// Stores the free space of the volume that holds the existing folder (a
// folder that is another volume, as a mounted folder is, answers for that
// volume). False when it cannot be learned.
bool get_free_space(const char* existing_folder, FreeSpace* space);

// Gives a folder this run created a protected access control list that
// everything below it inherits: full control for SYSTEM, Administrators
// and the installing user, read and execute for Authenticated Users
// (with writable_for_users, modify), nothing inherited from above.
// Returns 0, ERROR_CODE_NOT_SUPPORTED when the folder's file system keeps
// no access control lists (nothing is changed then), or the error code.
// On POSIX the folder and the folders below it get mode 0755
// (writable_for_users: 0777).
unsigned long protect_folder(const char* path, bool writable_for_users);

// Creates the folder with that list from the start, so that it never
// exists without it (missing parents are made first, as create_directories
// makes them). Returns 0; ERROR_CODE_NOT_SUPPORTED when it was made on a
// file system without access control lists; ERROR_CODE_ALREADY_EXISTS when
// it exists (its list unchanged); or the error code, nothing made. On POSIX
// its mode is protect_folder's, whatever the umask.
unsigned long create_protected_folder(const char* path, bool writable_for_users);

// ---- Who may change an existing folder -----------------------------------

// What an existing folder on a home's path must keep from every account but
// SYSTEM, Administrators, TrustedInstaller and the installing user (and
// CREATOR OWNER, which stands for whoever creates a file).
enum class FolderRule {
    root,        // a drive root or share: nobody else may delete what is inside
    above,       // above what the install creates: owned by those accounts, and
                 // nobody else may delete, rename or replace it or what is inside
                 // (delete, delete child, write DAC, write owner)
    data_above,  // above DATA_HOME: as above, but delete (modify) is fine
    app_home,    // APP_HOME, its config, install or com folder: owned by those,
                 // and nobody else may change what is inside, nor gets that
                 // right on the files copied there by inheritance
    data_home,   // DATA_HOME itself: owned by those; nobody else may delete
                 // child, write DAC or write owner (users may modify the data)
};

enum class FolderVerdict {
    safe,
    unsafe,
    unchecked,  // the list could not be read, or the file system keeps none
};

struct FolderCheck {
    FolderVerdict verdict;
    bool owner_unsafe;  // unsafe through its owner, else through a right given
    // Unsafe: the owner, or the account that holds the right (DOMAIN\name,
    // else its SID), cut to fit; a control character is written <U+00XX>.
    char account[160];
};

// Checks one existing folder against the rule. Deny entries never make a
// folder unsafe; entries that only reach children count for app_home alone
// (the files copied into it inherit them). A folder without any list is
// unsafe where its volume keeps lists (every user may do anything there),
// unchecked where that cannot be told. On POSIX: owned by anyone but
// root or the installing user, or writable by group or others without the
// sticky bit, is unsafe (root: only the latter; app_home: writable by group
// or others at all; data_home: only the owner counts).
FolderCheck check_folder(const char* path, FolderRule rule);

// ---- Writing into a home's tree without following links ------------------
//
// Other users may create, remove and rename entries below a home (every
// user may change DATA_HOME's tree). The copy therefore works from folders
// it holds open, and never follows a link it meets where a folder or file
// of the copy goes (a symbolic link, a junction or other mount point; for a
// file, also one with another name, a hard link): the link itself is
// removed, never what it points to, and a real folder or file made in its
// place. While a folder is held open nobody can rename, remove or replace
// it (POSIX: every call is made relative to the open folder instead).

struct HomeFolder;  // a folder of a home's tree, held open

// What stood where a folder or file of the copy goes.
enum class LinkFound {
    none,       // nothing, or a real folder or file
    link,       // a symbolic link, junction or other mount point
    hard_link,  // a file with more than one name
};

struct Placement {
    unsigned long code = 0;            // 0, or the error code: nothing made or copied
    LinkFound link = LinkFound::none;  // what stood there
    bool link_removed = false;         // that link was removed (a new one was made in its place
                                       // when code is 0); false with a link: it is still there
};

// Opens the home folder, creating it and its missing parents first as
// create_directories does. The folders of its path are taken as they are:
// they are the folder checks' business. 0 (*folder set) or the error code.
unsigned long open_home_folder(const char* path, HomeFolder** folder);

// Opens the folder of that name in the open folder, creating it when
// missing (with the mode or list the folder's own would give it). A link
// of that name is replaced by a real folder; a file of that name is left
// and refused (ERROR_CODE_FILE_EXISTS). *folder is set when code is 0.
Placement open_folder_in(HomeFolder* parent, const char* name, HomeFolder** folder);

// Copies the source file (a path, followed as given) to the name in the
// open folder, taking over the source's read-only state. The target is
// never opened when it exists: a read-only one (ERROR_CODE_ACCESS_DENIED),
// something that is no file, or the source itself (a file is never copied
// onto itself) is refused; else it (a link: the link itself, a hard link:
// this name) is removed and the copy made anew. Made anew there by someone
// else in the meantime: refused with ERROR_CODE_FILE_EXISTS.
Placement copy_file_into(const char* source, HomeFolder* folder, const char* name);

void close_home_folder(HomeFolder* folder);

// ---- Text of names -------------------------------------------------------

// The upper-case form of one character of the ANSI code page, as Windows
// matches file names without regard to case (on POSIX: ASCII and Latin-1).
unsigned char fold_name_character(unsigned char c);

// Converts UTF-8 text to the ANSI code page, never to a look-alike: false
// when a character has no exact spelling there, the text is no valid UTF-8,
// or the result would not fit. Where names are UTF-8 already (POSIX) the
// text is only checked and copied.
bool convert_utf8_to_ansi(const char* utf8, char* ansi, std::size_t capacity);

// ---- Processes -----------------------------------------------------------

struct CommandResult {
    bool started;               // false when the command could not be run
    unsigned long exit_status;  // the command's exit status, once started
    bool interrupted;           // Ctrl+C or Ctrl+Break reached the command
};

// Hands the command line to the command interpreter and waits for it; the
// command shares this process's console. Its program (the first word) is
// looked for in the full-path folders of PATH alone, never in the current
// folder nor the program's own: there it is named by the path found. While
// it runs, Ctrl+C and Ctrl+Break end the command, not this process; the
// console's input mode is put back as it was when the command ends.
CommandResult run_command(const char* command);

// The exit status run_command reports when the interpreter found no
// program of the command's name (cmd's 9009; 127 on POSIX).
extern const unsigned long COMMAND_NOT_FOUND_STATUS;

// ---- Ending by Ctrl+C ----------------------------------------------------

// From now on, when Ctrl+C or Ctrl+Break ends this program, the entry's
// bytes are first appended to the file in one write and the notice is
// written on a line of its own to standard output; nothing is appended to
// any file after it. The program then ends with a failing status: on
// Windows STATUS_CONTROL_C_EXIT (0xC000013A), as Windows' own handler ends
// it, on POSIX by the signal. The texts are copied (cut at 511 bytes). A
// null entry stops the entry: the program still ends so, unwritten.
void set_interrupt_entry(const char* path, const char* entry, std::size_t length,
                         const char* notice);

// ---- The desktop shortcut ------------------------------------------------

enum class ShortcutStep {
    saved,
    com_initialisation,
    object_creation,
    interface_lookup,
    desktop_lookup,
    link_path_too_long,
    save,
};

struct ShortcutResult {
    ShortcutStep failed_step;  // saved when the link was written
    long code;                 // HRESULT or error code of the failed step
    char link_path[260];       // the link file's path, once composed
};

// Saves a shell link on the current user's desktop, named name + ".lnk",
// that starts target in working_directory, with the description.
ShortcutResult save_desktop_shortcut(const char* target, const char* working_directory,
                                     const char* description, const char* name);

}  // namespace platform
