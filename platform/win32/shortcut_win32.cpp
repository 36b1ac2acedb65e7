// The desktop shortcut on Windows, through COM's shell link object.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>

#include "platform/platform.h"
#include "platform/win32/system_calls.h"

namespace platform {

ShortcutResult save_desktop_shortcut(const char* target, const char* working_directory,
                                     const char* description, const char* name) {
    ShortcutResult result = {ShortcutStep::saved, 0, ""};
    HRESULT hr = system_calls().CoInitialize(nullptr);
    if (FAILED(hr)) {
        result.failed_step = ShortcutStep::com_initialisation;
        result.code = hr;
        return result;
    }
    IShellLinkA* link = nullptr;
    hr = system_calls().CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IShellLinkA, reinterpret_cast<void**>(&link));
    if (FAILED(hr)) {
        CoUninitialize();
        result.failed_step = ShortcutStep::object_creation;
        result.code = hr;
        return result;
    }
    link->SetPath(target);
    link->SetWorkingDirectory(working_directory);
    link->SetDescription(description);

    IPersistFile* file = nullptr;
    hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (FAILED(hr)) {
        link->Release();
        CoUninitialize();
        result.failed_step = ShortcutStep::interface_lookup;
        result.code = hr;
        return result;
    }

    char desktop[MAX_PATH];
    hr = system_calls().SHGetFolderPathA(nullptr, CSIDL_DESKTOP, nullptr, SHGFP_TYPE_CURRENT,
                                         desktop);
    int length = hr == S_OK ? std::snprintf(result.link_path, sizeof result.link_path, "%s\\%s.lnk",
                                            desktop, name)
                            : 0;
    WCHAR wide[MAX_PATH];
    if (hr != S_OK) {
        result.failed_step = ShortcutStep::desktop_lookup;
        result.code = hr;
    } else if (length < 0 || static_cast<std::size_t>(length) >= sizeof result.link_path) {
        result.failed_step = ShortcutStep::link_path_too_long;
    } else if (MultiByteToWideChar(CP_ACP, 0, result.link_path, -1, wide, MAX_PATH) == 0) {
        result.failed_step = ShortcutStep::save;
        result.code = static_cast<long>(GetLastError());
    } else {
        hr = file->Save(wide, TRUE);
        if (FAILED(hr)) {
            result.failed_step = ShortcutStep::save;
            result.code = hr;
        }
    }
    file->Release();
    link->Release();
    CoUninitialize();
    return result;
}

}  // namespace platform
