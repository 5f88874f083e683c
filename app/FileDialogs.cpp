// The common item dialogs the menu opens: files or a folder to take in, and a name to save the list as.
#include "app/FileDialogs.h"

#include <objbase.h>
#include <shobjidl.h>

#include <memory>

#include "components/Win32Handles.h"

namespace {

template <typename T>
using ComOwner = std::unique_ptr<T, ComRelease>;

// Calls make, which hands out an interface through its argument, and owns what it gave, so it is
// released on every way out; null when the call failed.
template <typename T, typename Make>
ComOwner<T> Own(Make make)
{
    T* object = nullptr;
    const HRESULT result = make(&object);
    return ComOwner<T>(SUCCEEDED(result) ? object : nullptr);
}

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
    auto dialog = Own<IFileOpenDialog>([](IFileOpenDialog** made) {
        return CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(made));
    });
    if (!dialog) return paths;
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

    auto items = Own<IShellItemArray>([&](IShellItemArray** results) { return dialog->GetResults(results); });
    if (!items) return paths;
    DWORD count = 0;
    items->GetCount(&count);
    for (DWORD i = 0; i < count; ++i) {
        auto item = Own<IShellItem>([&](IShellItem** got) { return items->GetItemAt(i, got); });
        if (!item) continue;
        std::wstring path = FileSystemPath(item.get());
        if (!path.empty()) paths.push_back(std::move(path));
    }
    return paths;
}

std::wstring PickSavePath(HWND owner)
{
    ComScope com;
    auto dialog = Own<IFileSaveDialog>([](IFileSaveDialog** made) {
        return CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(made));
    });
    if (!dialog) return {};
    const COMDLG_FILTERSPEC filters[] = {{L"Playlist (UTF-8)", L"*.m3u8"}};
    dialog->SetFileTypes(ARRAYSIZE(filters), filters);
    dialog->SetDefaultExtension(L"m3u8");
    dialog->SetFileName(L"Playlist.m3u8");
    dialog->SetTitle(L"Save playlist as");
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_FORCEFILESYSTEM | FOS_OVERWRITEPROMPT | FOS_PATHMUSTEXIST);
    if (FAILED(dialog->Show(owner))) return {};
    auto item = Own<IShellItem>([&](IShellItem** result) { return dialog->GetResult(result); });
    return item ? FileSystemPath(item.get()) : std::wstring();
}
