#include "com/ClassTable.h"

#include "com/ClassFactory.h"
#include "com/DispatchObject.h"
#include "ftp/FtpObject.h"
#include "http/HttpObject.h"
#include "listing/FileEntry.h"
#include "listing/FileCollection.h"

namespace quorlin {

const ClassEntry kClasses[4] = {
    {&CLSID_FTP, L"quorlin.FTP", &ClassFactory<&CreateObject<FtpObject>>::Make},
    {&CLSID_HTTP, L"quorlin.HTTP", &ClassFactory<&CreateObject<HttpObject>>::Make},
    {&CLSID_FTPFile, L"quorlin.FTPFile", &ClassFactory<&CreateObject<FileEntry>>::Make},
    {&CLSID_FTPFiles, L"quorlin.FTPFiles", &ClassFactory<&CreateObject<FileCollection>>::Make},
};

}  // namespace quorlin
