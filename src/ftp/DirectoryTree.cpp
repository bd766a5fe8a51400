#include "DirectoryTree.h"

#include "../text/CodePageText.h"
#include "../text/Error.h"
#include "../platform/Owners.h"
#include "../text/Text.h"
#include "../platform/Constants.h"
#include "EntryName.h"
#include "FtpFailures.h"

#include <string>
#include <vector>

namespace quorlin {
namespace {

// Counts one level of a walk for as long as the call runs.
class Level {
public:
    explicit Level(int& depth) : depth_(depth) { ++depth_; }
    Level(const Level&) = delete;
    Level& operator=(const Level&) = delete;
    ~Level() { --depth_; }

private:
    int& depth_;
};

// A path handed to the object's members as a text variant.
class PathArgument {
public:
    explicit PathArgument(const std::wstring& path) { TextToVariant(path, value_.Put()); }
    VARIANT* Get() { return value_.Get(); }

private:
    Variant value_;
};

VARIANT Position(LONG position) {
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_I4;
    V_I4(&value) = position;
    return value;
}

// A listed name that must not become a local path raises what a download of
// it would: the GetFile error, with the platform's text for `code`.
HRESULT RaiseUnsafeName(DWORD code) {
    return RaisePlatformError(ftp_error::kGetFile, source::kFtp, message::kGetFile, code, operation::kGetFile);
}

// What this download wrote into its folder, told apart by what the local
// file system resolves a name to, not by spelling: a twin in letter case, or
// a short name ("LONG~1.TXT") of a file written moments before, lands on it.
class WrittenEntries {
public:
    bool Holds(const std::wstring& path) const {
        EntryIdentity identity;
        return IdentifyEntry(path, identity) && identities_.count(identity) > 0;
    }
    void Add(const std::wstring& path) {
        EntryIdentity identity;
        if (IdentifyEntry(path, identity)) identities_.insert(identity);
    }

private:
    std::set<EntryIdentity> identities_;
};

// The error of the last failed call, kept aside while other calls run.
class PendingError {
public:
    void Keep(HRESULT hr) {
        hr_ = hr;
        GetErrorInfo(0, info_.ReleaseAndGetAddressOf());
    }
    // Raises the kept error again in place of `later`, when `later` only
    // says that the connection the kept failure closed is gone.
    HRESULT Over(HRESULT later) {
        if (SUCCEEDED(hr_) || later != ftp_error::kNoConnection) return later;
        SetErrorInfo(0, info_.Get());
        return hr_;
    }

private:
    HRESULT hr_ = S_OK;
    ComPtr<IErrorInfo> info_;
};

// A walk that failed after it entered a folder goes back to where it was
// (as far as the connection still allows); the failure is what the caller sees.
HRESULT Restoring(_FTP& ftp, VARIANT* saved, HRESULT failure) {
    ComPtr<IErrorInfo> info;
    GetErrorInfo(0, info.ReleaseAndGetAddressOf());
    ftp.put_Directory(saved);
    SetErrorInfo(0, info.Get());
    return failure;
}

// The entries of the folder a download entered, each into `local`.
HRESULT DownloadEntries(_FTP& ftp, VARIANT* remotePath, const std::wstring& local, VARIANT_BOOL* overwrite,
                        VARIANT_BOOL* traverse) {
    std::wstring remote;
    HRESULT hr = VariantToText(remotePath, source::kFtp, remote);
    ComPtr<_FTPFiles> files;
    if (SUCCEEDED(hr)) hr = ftp.Files(&files);
    LONG count = 0;
    if (SUCCEEDED(hr)) hr = files->Count(&count);
    if (FAILED(hr)) return hr;

    WrittenEntries written;
    for (LONG position = 1; position <= count; ++position) {
        ComPtr<_FTPFile> entry;
        enum_FileType type = FTPFile;
        Bstr name;
        hr = files->Item(Position(position), &entry);
        if (SUCCEEDED(hr)) hr = entry->get_FileType(&type);
        if (SUCCEEDED(hr)) hr = entry->get_Filename(name.Put());
        if (FAILED(hr)) return hr;
        const std::wstring entryName = name.Text();
        // "." and ".." name this directory and its parent, not entries of it.
        if (entryName == L"." || entryName == L"..") continue;
        const bool descend = type == FTPDirectory && *traverse;
        if (!descend && type != FTPFile) continue;
        // A name the code page could not read would become a local name of raw bytes.
        if (CodePageText::HoldsRawBytes(entryName)) return RaiseUnsafeName(ERROR_NO_UNICODE_TRANSLATION);
        if (!IsPlainFileName(entryName)) return RaiseUnsafeName(ERROR_INVALID_NAME);
        // An entry that lands on one this download wrote would replace it, or
        // fill its folder: it ends the download before anything of it is written.
        const std::wstring localPath = local + kLocalSeparator + entryName;
        if (written.Holds(localPath)) return RaiseUnsafeName(ERROR_FILE_EXISTS);

        PathArgument childRemote(remote + kRemoteSeparator + entryName);
        PathArgument childLocal(localPath);
        hr = descend ? ftp.GetDirectory(childRemote.Get(), childLocal.Get(), overwrite, traverse)
                     : ftp.GetFile(childRemote.Get(), childLocal.Get(), overwrite);
        if (FAILED(hr)) return hr;
        written.Add(localPath);
    }
    return S_OK;
}

// The local folder `local` into the remote folder the upload entered.
HRESULT UploadEntries(_FTP& ftp, TreeWalk& walk, const std::wstring& local, const std::wstring& remote,
                      VARIANT_BOOL* traverse) {
    // A folder name the platform would cut short is no folder that exists.
    const bool cutShort = local.find(L'\0') != std::wstring::npos;
    if (cutShort || !FolderExists(local)) {
        const std::wstring missing = message::kFolderMissingPrefix + local + message::kFolderMissingSuffix;
        return RaisePlatformError(ftp_error::kFolderMissing, source::kFtp, missing.c_str(),
                                  cutShort ? ERROR_INVALID_PARAMETER : ERROR_PATH_NOT_FOUND, operation::kPutDirectory);
    }
    EntryIdentity identity;
    if (IdentifyEntry(local, identity)) walk.uploadedFolders.insert(identity);
    std::vector<std::wstring> subfolders, files;
    HRESULT hr = ListFolder(local, subfolders, files);
    if (FAILED(hr)) return hr;

    if (*traverse) {
        for (const std::wstring& folder : subfolders) {
            const std::wstring childLocalPath = local + kLocalSeparator + folder;
            // A folder reached again through a link is left out, as if it were not there.
            if (IdentifyEntry(childLocalPath, identity) && walk.uploadedFolders.count(identity)) continue;
            PathArgument name(folder);
            // The directory may exist already: whatever goes wrong here shows
            // when the nested call enters it, unless the failure took the
            // connection with it (a time-out): then it is the one reported.
            PendingError creation;
            hr = ftp.CreateDirectory(name.Get());
            if (FAILED(hr)) creation.Keep(hr);  // which takes the error object off the thread
            PathArgument childLocal(childLocalPath);
            PathArgument childRemote(remote + kRemoteSeparator + folder);
            hr = ftp.PutDirectory(childLocal.Get(), childRemote.Get(), traverse);
            if (FAILED(hr)) return creation.Over(hr);
        }
    }
    for (const std::wstring& file : files) {
        PathArgument childLocal(local + kLocalSeparator + file);
        PathArgument name(file);
        hr = ftp.PutFile(childLocal.Get(), name.Get());
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

}  // namespace

HRESULT DownloadTree(_FTP& ftp, TreeWalk& walk, VARIANT* remotePath, VARIANT* localPath, VARIANT_BOOL* overwrite,
                     VARIANT_BOOL* traverse) {
    Level level(walk.downloadDepth);
    // A remote link back into the tree, listed as a directory, would be
    // entered without end: below this depth the walk stops.
    if (walk.downloadDepth > kDeepestTree) {
        return RaisePlatformError(ftp_error::kSetDirectory, source::kFtp, message::kSetDirectory,
                                  ERROR_CANT_RESOLVE_FILENAME, operation::kGetDirectory);
    }
    std::wstring local;
    HRESULT hr = VariantToText(localPath, source::kFtp, local);
    // The local folder is where each file goes: a text the platform would cut
    // short raises what its downloads would.
    if (SUCCEEDED(hr)) hr = CheckPlatformText(local, source::kFtp, ftp_failure::kGetFile);
    if (FAILED(hr)) return hr;
    if (!FolderExists(local)) {
        hr = CreateFolder(local);
        if (FAILED(hr)) return hr;
    }
    Variant saved;
    hr = ftp.get_Directory(saved.Put());
    if (SUCCEEDED(hr)) hr = ftp.put_Directory(remotePath);
    if (FAILED(hr)) return hr;
    hr = DownloadEntries(ftp, remotePath, local, overwrite, traverse);
    return FAILED(hr) ? Restoring(ftp, saved.Get(), hr) : ftp.put_Directory(saved.Get());
}

HRESULT UploadTree(_FTP& ftp, TreeWalk& walk, VARIANT* localPath, VARIANT* remotePath, VARIANT_BOOL* traverse) {
    // An outermost call starts a new upload, with no folder entered yet.
    if (walk.uploadDepth == 0) walk.uploadedFolders.clear();
    Level level(walk.uploadDepth);

    Variant saved;
    HRESULT hr = ftp.get_Directory(saved.Put());
    if (SUCCEEDED(hr)) hr = ftp.put_Directory(remotePath);
    std::wstring remote, local;
    if (SUCCEEDED(hr)) hr = VariantToText(remotePath, source::kFtp, remote);
    if (SUCCEEDED(hr)) hr = VariantToText(localPath, source::kFtp, local);
    if (FAILED(hr)) return hr;
    hr = UploadEntries(ftp, walk, local, remote, traverse);
    return FAILED(hr) ? Restoring(ftp, saved.Get(), hr) : ftp.put_Directory(saved.Get());
}

}  // namespace quorlin
