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
    auto fail = [&result](ShortcutStep step, long code) {
        result.failed_step = step;
        result.code = code;
        return result;
    };
    HRESULT hr = system_calls().CoInitialize(nullptr);
    if (FAILED(hr)) return fail(ShortcutStep::com_initialisation, hr);
    IShellLinkA* link = nullptr;
    hr = system_calls().CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IShellLinkA, reinterpret_cast<void**>(&link));
    if (FAILED(hr)) {
        CoUninitialize();
        return fail(ShortcutStep::object_creation, hr);
    }
    link->SetPath(target);
    link->SetWorkingDirectory(working_directory);
    link->SetDescription(description);

    IPersistFile* file = nullptr;
    hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (FAILED(hr)) {
        link->Release();
        CoUninitialize();
        return fail(ShortcutStep::interface_lookup, hr);
    }

    char desktop[MAX_PATH];
    hr = system_calls().SHGetFolderPathA(nullptr, CSIDL_DESKTOP, nullptr, SHGFP_TYPE_CURRENT,
                                         desktop);
    int length = hr == S_OK ? std::snprintf(result.link_path, sizeof result.link_path, "%s\\%s.lnk",
                                            desktop, name)
                            : 0;
    WCHAR wide[MAX_PATH];
    if (hr != S_OK) {
        fail(ShortcutStep::desktop_lookup, hr);
    } else if (length < 0 || static_cast<std::size_t>(length) >= sizeof result.link_path) {
        result.failed_step = ShortcutStep::link_path_too_long;
    } else if (MultiByteToWideChar(CP_ACP, 0, result.link_path, -1, wide, MAX_PATH) == 0) {
        fail(ShortcutStep::save, static_cast<long>(GetLastError()));
    } else if (FAILED(hr = file->Save(wide, TRUE))) {
        fail(ShortcutStep::save, hr);
    }
    file->Release();
    link->Release();
    CoUninitialize();
    return result;
}

}  // namespace platform
