// Writing a Windows shell link (.lnk) file without the shell: what
// IShellLinkA + IPersistFile::Save produce for a link to a local file.
#pragma once

namespace shell_link {

// Saves, at the host path host_link_path, a shell link that starts target
// (a local Windows path such as C:\DIR\prog.bat) in working_directory, with
// description as its comment. The three strings are 8-bit ANSI text and are
// stored as such; an empty working directory or description is left out.
//
// An existing file of that name is replaced. The link is written whole to a
// temporary file beside it and renamed into place, so a failure (a missing
// or read-only folder, a full disk, a directory of that name) leaves the old
// file, or none, and no partial link. Returns false on failure, with errno
// telling the first error (EINVAL for a missing target or a string too long
// for the format).
bool write_shell_link(const char* host_link_path, const char* target, const char* working_directory,
                      const char* description);

}  // namespace shell_link
