// The common item dialogs the menu opens: files or a folder to take in, and a name to save the list as.
#include "app/FileDialogs.h"

#include <objbase.h>
#include <shobjidl.h>

namespace {

// A COM pointer owned for one scope.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr()
    {
        if (pointer) pointer->Release();
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    T* operator->() const { return pointer; }
    T** operator&() { return &pointer; }
    T* Get() const { return pointer; }

private:
    T* pointer = nullptr;
};

// COM for the calling thread while the dialog is up; a thread that had it keeps it.
class ComScope {
public:
    ComScope() : initialized(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~ComScope()
    {
        if (initialized) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool initialized;
};

std::wstring FileSystemPath(IShellItem* item)
{
    std::wstring path;
    wchar_t* name = nullptr;
    if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &name)) && name) path = name;
    CoTaskMemFree(name);
    return path;
}

}  // namespace

std::vector<std::wstring> PickPaths(HWND owner, PickMode mode, const wchar_t* title)
{
    std::vector<std::wstring> paths;
    ComScope com;
    ComPtr<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog))))
        return paths;
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    options |= FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST;
    if (mode == PickMode::Folder) {
        options |= FOS_PICKFOLDERS;
    } else {
        options |= FOS_ALLOWMULTISELECT | FOS_FILEMUSTEXIST;
        const COMDLG_FILTERSPEC filters[] = {
            {L"Music and playlists", L"*.mp3;*.ogg;*.flac;*.opus;*.m3u;*.m3u8;*.pls"},
            {L"All files", L"*.*"},
        };
        dialog->SetFileTypes(ARRAYSIZE(filters), filters);
    }
    dialog->SetOptions(options);
    dialog->SetTitle(title);
    if (FAILED(dialog->Show(owner))) return paths;  // cancelled, too

    ComPtr<IShellItemArray> items;
    if (FAILED(dialog->GetResults(&items))) return paths;
    DWORD count = 0;
    items->GetCount(&count);
    for (DWORD i = 0; i < count; ++i) {
        ComPtr<IShellItem> item;
        if (FAILED(items->GetItemAt(i, &item))) continue;
        std::wstring path = FileSystemPath(item.Get());
        if (!path.empty()) paths.push_back(std::move(path));
    }
    return paths;
}

std::wstring PickSavePath(HWND owner)
{
    ComScope com;
    ComPtr<IFileSaveDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog)))) return {};
    const COMDLG_FILTERSPEC filters[] = {{L"Playlist (UTF-8)", L"*.m3u8"}};
    dialog->SetFileTypes(ARRAYSIZE(filters), filters);
    dialog->SetDefaultExtension(L"m3u8");
    dialog->SetFileName(L"Playlist.m3u8");
    dialog->SetTitle(L"Save playlist as");
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_FORCEFILESYSTEM | FOS_OVERWRITEPROMPT | FOS_PATHMUSTEXIST);
    if (FAILED(dialog->Show(owner))) return {};
    ComPtr<IShellItem> item;
    if (FAILED(dialog->GetResult(&item))) return {};
    return FileSystemPath(item.Get());
}
