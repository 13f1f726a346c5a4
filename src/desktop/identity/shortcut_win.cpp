#include "desktop/identity/shortcut.h"

#include <string>

#include <windows.h>

#include <objbase.h>
#include <propkey.h>
#include <propvarutil.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

namespace desktop {
namespace {

using Microsoft::WRL::ComPtr;

platform::HResult OpenLink(const std::wstring& path, DWORD mode, ComPtr<IShellLinkW>& link)
{
    platform::HResult result = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link));
    if (platform::Failed(result) || path.empty()) return result;
    ComPtr<IPersistFile> file;
    result = link.As(&file);
    return platform::Succeeded(result) ? file->Load(path.c_str(), mode) : result;
}

platform::HResult SetIdentifier(IShellLinkW& link, const std::wstring& id)
{
    ComPtr<IPropertyStore> store;
    platform::HResult result = link.QueryInterface(IID_PPV_ARGS(&store));
    if (platform::Failed(result)) return result;
    PROPVARIANT value;
    result = ::InitPropVariantFromString(id.c_str(), &value);
    if (platform::Failed(result)) return result;
    result = store->SetValue(PKEY_AppUserModel_ID, value);
    ::PropVariantClear(&value);
    return platform::Succeeded(result) ? store->Commit() : result;
}

platform::HResult Save(IShellLinkW& link, const std::wstring& path)
{
    ComPtr<IPersistFile> file;
    const platform::HResult result = link.QueryInterface(IID_PPV_ARGS(&file));
    return platform::Succeeded(result) ? file->Save(path.c_str(), TRUE) : result;
}

}  // namespace

std::wstring ShortcutExtension() { return L".lnk"; }

std::wstring ShortcutFolder()
{
    PWSTR folder = nullptr;
    if (FAILED(::SHGetKnownFolderPath(FOLDERID_Programs, KF_FLAG_CREATE, nullptr, &folder)) || !folder) return {};
    std::wstring path = std::wstring(folder) + L"\\";
    ::CoTaskMemFree(folder);
    return path;
}

bool ShortcutExists(const std::wstring& path)
{
    return !path.empty() && ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

platform::HResult ReadShortcutId(const std::wstring& path, std::optional<std::wstring>& id)
{
    id.reset();
    ComPtr<IShellLinkW> link;
    platform::HResult result = OpenLink(path, STGM_READ, link);
    if (platform::Failed(result)) return result;
    ComPtr<IPropertyStore> store;
    result = link.As(&store);
    if (platform::Failed(result)) return result;
    PROPVARIANT value;
    ::PropVariantInit(&value);
    result = store->GetValue(PKEY_AppUserModel_ID, &value);
    if (platform::Failed(result)) return result;
    if (value.vt == VT_LPWSTR && value.pwszVal) {
        id = std::wstring(value.pwszVal);
    } else {
        id = std::wstring();
    }
    ::PropVariantClear(&value);
    return platform::hresult::kOk;
}

platform::HResult WriteShortcutId(const std::wstring& path, const std::wstring& id)
{
    ComPtr<IShellLinkW> link;
    platform::HResult result = OpenLink(path, STGM_READWRITE, link);
    if (platform::Failed(result)) return result;
    result = SetIdentifier(*link.Get(), id);
    return platform::Succeeded(result) ? Save(*link.Get(), path) : result;
}

platform::HResult CreateShortcut(const std::wstring& path, const ShortcutLink& shortcut)
{
    if (path.empty()) return platform::hresult::kInvalidArgument;
    ComPtr<IShellLinkW> link;
    platform::HResult result = OpenLink({}, 0, link);
    if (platform::Failed(result)) return result;
    if (platform::Failed(result = link->SetPath(shortcut.target.c_str()))) return result;
    if (platform::Failed(result = link->SetArguments(shortcut.arguments.c_str()))) return result;
    if (platform::Failed(result = link->SetWorkingDirectory(shortcut.working_directory.c_str()))) return result;
    if (platform::Failed(result = SetIdentifier(*link.Get(), shortcut.app_user_model_id))) return result;
    return Save(*link.Get(), path);
}

std::wstring_view LauncherFileName() { return L"merroupdate-session.exe"; }

}  // namespace desktop
