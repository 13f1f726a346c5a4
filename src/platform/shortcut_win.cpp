#include "platform/shortcut.h"

#include <string>

#include "platform/windows_api_win.h"

#include <objbase.h>
#include <propkey.h>
#include <propvarutil.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

namespace platform {
namespace {

using Microsoft::WRL::ComPtr;

HResult OpenLink(const std::wstring& path, DWORD mode, ComPtr<IShellLinkW>& link)
{
    HResult result = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link));
    if (Failed(result) || path.empty()) return result;
    ComPtr<IPersistFile> file;
    result = link.As(&file);
    return Succeeded(result) ? file->Load(path.c_str(), mode) : result;
}

HResult SetIdentifier(IShellLinkW& link, const std::wstring& id)
{
    ComPtr<IPropertyStore> store;
    HResult result = link.QueryInterface(IID_PPV_ARGS(&store));
    if (Failed(result)) return result;
    PROPVARIANT value;
    result = ::InitPropVariantFromString(id.c_str(), &value);
    if (Failed(result)) return result;
    result = store->SetValue(PKEY_AppUserModel_ID, value);
    ::PropVariantClear(&value);
    return Succeeded(result) ? store->Commit() : result;
}

HResult Save(IShellLinkW& link, const std::wstring& path)
{
    ComPtr<IPersistFile> file;
    const HResult result = link.QueryInterface(IID_PPV_ARGS(&file));
    return Succeeded(result) ? file->Save(path.c_str(), TRUE) : result;
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

HResult ReadShortcutId(const std::wstring& path, std::optional<std::wstring>& id)
{
    id.reset();
    ComPtr<IShellLinkW> link;
    HResult result = OpenLink(path, STGM_READ, link);
    if (Failed(result)) return result;
    ComPtr<IPropertyStore> store;
    result = link.As(&store);
    if (Failed(result)) return result;
    PROPVARIANT value;
    ::PropVariantInit(&value);
    result = store->GetValue(PKEY_AppUserModel_ID, &value);
    if (Failed(result)) return result;
    if (value.vt == VT_LPWSTR && value.pwszVal) {
        id = std::wstring(value.pwszVal);
    } else {
        id = std::wstring();
    }
    ::PropVariantClear(&value);
    return hresult::kOk;
}

HResult WriteShortcutId(const std::wstring& path, const std::wstring& id)
{
    ComPtr<IShellLinkW> link;
    HResult result = OpenLink(path, STGM_READWRITE, link);
    if (Failed(result)) return result;
    result = SetIdentifier(*link.Get(), id);
    return Succeeded(result) ? Save(*link.Get(), path) : result;
}

HResult CreateShortcut(const std::wstring& path, const ShortcutLink& shortcut)
{
    if (path.empty()) return hresult::kInvalidArgument;
    ComPtr<IShellLinkW> link;
    HResult result = OpenLink({}, 0, link);
    if (Failed(result)) return result;
    if (Failed(result = link->SetPath(shortcut.target.c_str()))) return result;
    if (Failed(result = link->SetArguments(shortcut.arguments.c_str()))) return result;
    if (Failed(result = link->SetWorkingDirectory(shortcut.working_directory.c_str()))) return result;
    if (Failed(result = SetIdentifier(*link.Get(), shortcut.app_user_model_id))) return result;
    return Save(*link.Get(), path);
}

}  // namespace platform
