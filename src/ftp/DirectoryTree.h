// Recursive download and upload of directory trees, made of the FTP object's
// own public members, so that every nested step behaves and fails as if the
// client had called it: the first failure ends the whole tree unchanged.
#pragma once

#include "../com/Interfaces.h"
#include "LocalFolder.h"

#include <set>

namespace quorlin {

// What the nested calls of one tree transfer share; the FTP object keeps it.
struct TreeWalk {
    int downloadDepth = 0;
    int uploadDepth = 0;
    std::set<EntryIdentity> uploadedFolders;  // every local folder the current upload has entered
};

// GetDirectory: `remotePath` (and below it, when `traverse` is non-zero) into
// the local folder `localPath`, each file through `ftp`'s GetFile.
HRESULT DownloadTree(_FTP& ftp, TreeWalk& walk, VARIANT* remotePath, VARIANT* localPath, VARIANT_BOOL* overwrite,
                     VARIANT_BOOL* traverse);

// PutDirectory: the local folder `localPath` into the existing remote
// directory `remotePath`, each file through `ftp`'s PutFile.
HRESULT UploadTree(_FTP& ftp, TreeWalk& walk, VARIANT* localPath, VARIANT* remotePath, VARIANT_BOOL* traverse);

}  // namespace quorlin
