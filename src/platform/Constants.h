// Named constants of the component: error numbers and their fixed messages,
// WinINet flags and buffer sizes. No code lives here.
#pragma once

#include "WinInetAPI.h"

namespace quorlin {

// Automation error base: every error the library raises is this plus a small number.
constexpr HRESULT kErrorBase = static_cast<HRESULT>(0x80040000);

namespace ftp_error {
constexpr HRESULT kInvalidPort = kErrorBase + 513;           // 0x80040201
constexpr HRESULT kOpenConnection = kErrorBase + 514;        // 0x80040202
constexpr HRESULT kRetrieveDirectory = kErrorBase + 514;     // 0x80040202, shared
constexpr HRESULT kSetDirectory = kErrorBase + 515;          // 0x80040203
constexpr HRESULT kDirectoryListing = kErrorBase + 516;      // 0x80040204
constexpr HRESULT kCreateDirectory = kErrorBase + 517;       // 0x80040205
constexpr HRESULT kRenameFile = kErrorBase + 518;            // 0x80040206
constexpr HRESULT kPutFile = kErrorBase + 519;               // 0x80040207
constexpr HRESULT kGetFile = kErrorBase + 520;               // 0x80040208
constexpr HRESULT kDeleteFile = kErrorBase + 521;            // 0x80040209
constexpr HRESULT kCloseConnection = kErrorBase + 522;       // 0x8004020A
constexpr HRESULT kNeededSetting = kErrorBase + 523;         // 0x8004020B
constexpr HRESULT kRemoveDirectory = kErrorBase + 524;       // 0x8004020C
constexpr HRESULT kNoConnection = kErrorBase + 525;          // 0x8004020D
constexpr HRESULT kFolderMissing = kErrorBase + 526;         // 0x8004020E
constexpr HRESULT kFileSize = kErrorBase + 527;              // 0x8004020F
constexpr HRESULT kFileTime = kErrorBase + 528;              // 0x80040210
constexpr HRESULT kFileExists = kErrorBase + 529;            // 0x80040211
constexpr HRESULT kPutText = kErrorBase + 530;               // 0x80040212
constexpr HRESULT kGetText = kErrorBase + 531;               // 0x80040213
constexpr HRESULT kResumeGetFile = kErrorBase + 532;         // 0x80040214
constexpr HRESULT kResumePutFile = kErrorBase + 533;         // 0x80040215
constexpr HRESULT kPutFiles = kErrorBase + 534;              // 0x80040216
constexpr HRESULT kGetFiles = kErrorBase + 535;              // 0x80040217
constexpr HRESULT kSynchronize = kErrorBase + 536;           // 0x80040218
constexpr HRESULT kLogFile = kErrorBase + 537;               // 0x80040219
}  // namespace ftp_error

namespace http_error {
constexpr HRESULT kOpen = kErrorBase + 1000;        // 0x800403E8
constexpr HRESULT kSendRequest = kErrorBase + 1001; // 0x800403E9
constexpr HRESULT kQueryInfo = kErrorBase + 1002;   // 0x800403EA
constexpr HRESULT kReadFile = kErrorBase + 1003;    // 0x800403EB
constexpr HRESULT kNoUrlOrClose = kErrorBase + 1004; // 0x800403EC
}  // namespace http_error

// Standard errors of the automation runtime that the library raises itself.
namespace runtime_error {
constexpr HRESULT kInvalidProcedureCall = static_cast<HRESULT>(0x800A0005);
constexpr HRESULT kOverflow = static_cast<HRESULT>(0x800A0006);
constexpr HRESULT kSubscriptOutOfRange = static_cast<HRESULT>(0x800A0009);
constexpr HRESULT kTypeMismatch = static_cast<HRESULT>(0x800A000D);
constexpr HRESULT kObjectNotSet = static_cast<HRESULT>(0x800A005B);
constexpr HRESULT kInvalidUseOfNull = static_cast<HRESULT>(0x800A005E);
constexpr HRESULT kObjectRequired = static_cast<HRESULT>(0x800A01A8);
constexpr HRESULT kMemberNotSupported = static_cast<HRESULT>(0x800A01B6);
// What the scripting runtime's file-system object raises for local folders.
constexpr HRESULT kFileAlreadyExists = static_cast<HRESULT>(0x800A003A);
constexpr HRESULT kDiskFull = static_cast<HRESULT>(0x800A003D);
constexpr HRESULT kPermissionDenied = static_cast<HRESULT>(0x800A0046);
constexpr HRESULT kPathFileAccessError = static_cast<HRESULT>(0x800A004B);
constexpr HRESULT kPathNotFound = static_cast<HRESULT>(0x800A004C);
}  // namespace runtime_error

namespace source {
constexpr const wchar_t* kFtp = L"Quorlin.FTP";
constexpr const wchar_t* kHttp = L"Quorlin.HTTP";
constexpr const wchar_t* kCollection = L"Quorlin.FTPFiles";  // the collection's own lookup errors
constexpr const wchar_t* kEntry = L"Quorlin.FTPFile";
}  // namespace source

namespace message {
constexpr const wchar_t* kInvalidPort = L"The port number that you entered is invalid";
constexpr const wchar_t* kOpenConnection = L"Error opening FTP connection.";
constexpr const wchar_t* kRetrieveDirectory = L"Error retrieving directory.";
constexpr const wchar_t* kSetDirectory = L"Error setting directory.";
constexpr const wchar_t* kListingFirst = L"Error retrieving directory listing.(1)";
constexpr const wchar_t* kListingNextPrefix = L"Error retrieving directory listing.(2)(";
constexpr const wchar_t* kListingClose = L"Error retrieving directory listing.(3)";
constexpr const wchar_t* kCreateDirectory = L"Error creating directory.";
constexpr const wchar_t* kRenameFile = L"Error renaming file/directory.";
constexpr const wchar_t* kPutFile = L"Error putting file to remote server.";
constexpr const wchar_t* kGetFile = L"Error getting file from the remote server.";
constexpr const wchar_t* kDeleteFile = L"Error deleting file from the remote server.";
constexpr const wchar_t* kCloseConnection = L"Error closing connection to remote server.";
constexpr const wchar_t* kUrlNotSet = L"Needed Property not set.  URL";
constexpr const wchar_t* kUsernameNotSet = L"Needed Parameter not set.  Username";
constexpr const wchar_t* kRemoveDirectory = L"Error removing directory.";
constexpr const wchar_t* kNoConnection = L"Error getting/setting directory.  No connection open.";
constexpr const wchar_t* kFileSize = L"Error getting file size from the remote server.";
constexpr const wchar_t* kFileTime = L"Error getting file time from the remote server.";
constexpr const wchar_t* kFileExists = L"Error reading remote file information.";
constexpr const wchar_t* kPutText = L"Error putting text to the remote server.";
constexpr const wchar_t* kGetText = L"Error getting text from the remote server.";
constexpr const wchar_t* kResumeGetFile = L"Error resuming file from the remote server.";
constexpr const wchar_t* kResumePutFile = L"Error resuming file to the remote server.";
constexpr const wchar_t* kPutFiles = L"Error putting files to the remote server.";
constexpr const wchar_t* kGetFiles = L"Error getting files from the remote server.";
constexpr const wchar_t* kSynchronize = L"Error synchronizing folders.";
constexpr const wchar_t* kLogFile = L"Error opening the log file.";
constexpr const wchar_t* kHttpOpenInternet = L"Error opening connection to the internet.";
constexpr const wchar_t* kHttpOpenServer = L"Error opening connection to remote server.";
constexpr const wchar_t* kHttpOpenRequest = L"Error opening request to remote server.";
constexpr const wchar_t* kHttpSendRequest = L"Error opening request received from remote server.";
constexpr const wchar_t* kHttpInformation = L"Error getting information out of request.";
constexpr const wchar_t* kHttpNoUrl = L"No URL set.  Please ensure that the URL property is set.";
constexpr const wchar_t* kHttpClose = L"Error closing connection.";

constexpr const wchar_t* kOverflow = L"Overflow";
constexpr const wchar_t* kOutOfMemory = L"Out of memory";
constexpr const wchar_t* kUnexpectedFailure = L"Catastrophic failure";
constexpr const wchar_t* kInvalidUseOfNull = L"Invalid use of Null";
constexpr const wchar_t* kTypeMismatch = L"Type mismatch";
constexpr const wchar_t* kObjectNotSet = L"Object variable or With block variable not set";
constexpr const wchar_t* kObjectRequired = L"Object required";
constexpr const wchar_t* kMemberNotSupported = L"Object doesn't support this property or method";
constexpr const wchar_t* kSubscriptOutOfRange = L"Subscript out of range";
constexpr const wchar_t* kInvalidProcedureCall = L"Invalid procedure call or argument";
constexpr const wchar_t* kFileAlreadyExists = L"File already exists";
constexpr const wchar_t* kDiskFull = L"Disk full";
constexpr const wchar_t* kPermissionDenied = L"Permission denied";
constexpr const wchar_t* kPathFileAccessError = L"Path/File access error";
constexpr const wchar_t* kPathNotFound = L"Path not found";
// The missing local folder of an upload: "Folder :" + path + " does not exist." + error text.
constexpr const wchar_t* kFolderMissingPrefix = L"Folder :";
constexpr const wchar_t* kFolderMissingSuffix = L" does not exist.";
}  // namespace message

namespace operation {
constexpr const wchar_t* kOpenConnection = L"OpenConnection";
constexpr const wchar_t* kCloseConnection = L"CloseConnection";
constexpr const wchar_t* kDirectory = L"Directory";
constexpr const wchar_t* kGetDirectoryListing = L"GetDirectoryListing";
constexpr const wchar_t* kCreateDirectory = L"CreateDirectory";
constexpr const wchar_t* kRemoveDirectory = L"RemoveDirectory";
constexpr const wchar_t* kRenameFile = L"RenameFile";
constexpr const wchar_t* kDeleteFile = L"DeleteFile";
constexpr const wchar_t* kPutFile = L"PutFile";
constexpr const wchar_t* kGetFile = L"GetFile";
constexpr const wchar_t* kGetString = L"GetString";
constexpr const wchar_t* kGetDirectory = L"GetDirectory";
constexpr const wchar_t* kPutDirectory = L"PutDirectory";
constexpr const wchar_t* kFileSize = L"FileSize";
constexpr const wchar_t* kFileTime = L"FileTime";
constexpr const wchar_t* kFileExists = L"FileExists";
constexpr const wchar_t* kPutText = L"PutText";
constexpr const wchar_t* kGetText = L"GetText";
constexpr const wchar_t* kResumeGetFile = L"ResumeGetFile";
constexpr const wchar_t* kResumePutFile = L"ResumePutFile";
constexpr const wchar_t* kPutFiles = L"PutFiles";
constexpr const wchar_t* kGetFiles = L"GetFiles";
constexpr const wchar_t* kSynchronize = L"Synchronize";
constexpr const wchar_t* kLogFile = L"LogFile";
}  // namespace operation

// FTP object settings.
constexpr const char* kFtpAgent = "Quorlin FTP";
constexpr const wchar_t* kFtpVersion = L"0.88.3b";
constexpr const wchar_t* kHttpVersion = L".88b";
constexpr LONG kDefaultFtpPort = 21;
constexpr LONG kDefaultSshPort = 22;
constexpr LONG kProtocolFtp = 0;   // FTP, plain or over TLS as Security says
constexpr LONG kProtocolSftp = 1;  // SFTP (version 3) over SSH-2
constexpr LONG kHighestPort = 65535;
constexpr DWORD kPassiveFlag = 0x08000000;  // INTERNET_FLAG_PASSIVE
constexpr LONG kTransferAscii = 1;           // FTP_TRANSFER_TYPE_ASCII
constexpr LONG kTransferBinary = 2;          // FTP_TRANSFER_TYPE_BINARY
constexpr DWORD kOpenTypePreconfig = 0;      // INTERNET_OPEN_TYPE_PRECONFIG
constexpr DWORD kServiceFtp = 1;             // INTERNET_SERVICE_FTP
// Asks the server to take and send names as UTF-8 (RFC 2640).
constexpr const char* kUtf8OnCommand = "OPTS UTF8 ON";

// The component's own FTP client, for TLS sessions.
constexpr LONG kSecurityNone = 0;      // the platform's FTP client, no TLS
constexpr LONG kSecurityExplicit = 1;  // AUTH TLS on the FTP port
constexpr LONG kSecurityImplicit = 2;  // TLS from the first byte
// Without a time limit the own client waits as long as the platform's FTP
// client would by its documented defaults: a minute to connect, half a
// minute for anything else.
constexpr DWORD kDefaultConnectMilliseconds = 60 * 1000;
constexpr DWORD kDefaultWaitMilliseconds = 30 * 1000;
constexpr size_t kLongestReplyBytes = 64 * 1024;  // no server sends a longer reply
constexpr DWORD kListingPieceBytes = 64 * 1024;
constexpr size_t kLongestListingBytes = 64 * 1024 * 1024;  // a million entries and more
// The most entries one listing may hold, on every transport: a server that
// lists more (or without end) fails the listing with code 8 and this text.
constexpr size_t kMostListedEntries = 200000;
constexpr const wchar_t* kTooManyEntries = L"The server listed more than 200,000 entries; the listing was stopped.";
// The size some platforms' listings give every file of 2 GiB and more: the
// real size is asked of the server.
constexpr DWORD kClampedListingSize = 0x7FFFFFFF;
// An entry's Size when the server told none that can be believed.
constexpr double kUnknownSizeValue = -1.0;
constexpr const wchar_t* kFingerprintPrefix = L"The server's certificate has the SHA-256 fingerprint ";
constexpr const wchar_t* kDataFingerprintPrefix = L"The data connection's certificate has the SHA-256 fingerprint ";
constexpr const wchar_t* kControlFingerprintPrefix = L", the control connection's ";
constexpr const wchar_t* kRenegotiationRefused = L"The server asked to renegotiate TLS, and the renegotiation failed.";

// HTTP object settings.
constexpr const char* kHttpAgent = "Quorlin.HTTP";
constexpr const char* kHttpVerb = "GET";
constexpr DWORD kServiceHttp = 3;                       // INTERNET_SERVICE_HTTP
constexpr DWORD kStatusCodeAsNumber = 0x20000013;       // HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER
constexpr INTERNET_PORT kHttpPort = 80;                 // INTERNET_DEFAULT_HTTP_PORT
constexpr INTERNET_PORT kHttpsPort = 443;               // INTERNET_DEFAULT_HTTPS_PORT
// Every request reaches the server, and nothing it returns is kept in the
// platform's cache.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
constexpr DWORD kSecureRequestFlag = INTERNET_FLAG_SECURE;
constexpr DWORD kBodyPieceBytes = 256 * 1024;           // asked of each read of a page body
constexpr size_t kBodyHeadStartBytes = 16 * 1024 * 1024; // an announced body this long gets its text before it arrives
constexpr size_t kLongestUrlPath = 32767;               // the first "/" must stand within this many characters
constexpr const wchar_t* kHttpScheme = L"http://";
constexpr const wchar_t* kHttpsScheme = L"https://";

// Time limits.
constexpr LONG kLongestTimeout = 86400;  // seconds: a day
constexpr DWORD kTransferPieceBytes = 1024 * 1024;  // moved per call by a transfer in pieces
constexpr size_t kTextReserveBytes = 1024 * 1024;   // room made ahead for a text whose size the server claims
constexpr DWORD kSlowestTransferBytesPerSecond = 1024;  // a transfer this fast is never cut by a time limit
// What may still be on its way to the server when an upload's final reply is
// awaited: that much more silence, at the slowest rate, is allowed then.
constexpr DWORD kUndrainedUploadBytes = 64 * 1024;
// That silence for an upload that has sent `sentBytes`.
constexpr unsigned long long UploadDrainMilliseconds(unsigned long long sentBytes) {
    return (sentBytes < kUndrainedUploadBytes ? sentBytes : kUndrainedUploadBytes) * 1000 /
           kSlowestTransferBytesPerSecond;
}
// A remote file opened for a transfer in pieces is fetched from the server and
// not kept in the platform's cache.
constexpr DWORD kRemoteFileFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
// The platform's own receive and send limits are set this much behind ours,
// so that our clock normally speaks first; a platform failure this close to
// the limit is taken for its time-out.
constexpr DWORD kPlatformTimeoutSlackMs = 1000;
// The silence allowed to a job whose wait the platform's own time-out bounds.
constexpr unsigned long long kUnwatchedMilliseconds = ~0ull / 2;
constexpr DWORD kSocketTimedOut = 10060;  // WSAETIMEDOUT, a body read that waited too long

// Error texts.
constexpr DWORD kExtendedError = 12003;      // ERROR_INTERNET_EXTENDED_ERROR
constexpr DWORD kFormatFromModuleAndSystem = 0x1800;  // FROM_HMODULE | FROM_SYSTEM
constexpr DWORD kErrorTextBufferChars = 2048;
constexpr DWORD kFormatMessageChars = 256;
constexpr DWORD kDirectoryBufferChars = 260;          // the first room for a working directory's text
constexpr DWORD kLongestDirectoryChars = 1 << 20;  // the most a working directory's text is read to

// Listings.
constexpr DWORD kNoMoreEntries = 18;  // ERROR_NO_MORE_FILES: the find calls' end of a listing
constexpr DWORD kFileNameChars = 260; // cFileName of a find record
constexpr DWORD kDirectoryAttribute = 0x10;  // FILE_ATTRIBUTE_DIRECTORY, the only attribute bit read
constexpr LONG kFileTypeDirectory = 1;       // FTPDirectory
constexpr LONG kFileTypeFile = 2;            // FTPFile
constexpr LONG kShowFiles = 1;
constexpr LONG kShowDirectories = 2;
constexpr LONG kShowFileSize = 4;
constexpr LONG kShowLastAccessTime = 8;
constexpr LONG kShowLastWriteTime = 16;
constexpr LONG kShowCreationTime = 32;
constexpr size_t kSizeColumnChars = 15;
constexpr size_t kLongestText = 0x7FFFFFF0 / sizeof(wchar_t);  // what one automation string can hold
constexpr size_t kDateColumnChars = 11;  // "MM/DD/YYYY "
constexpr size_t kTimeTextChars = 21;    // date column, "hh:mm:ss", two blanks
constexpr WORD kLastListedYear = 9999;
constexpr const wchar_t* kUnknownTimeText = L"unknown             ";  // 7 letters, 13 blanks

// Tree transfers.
constexpr int kDeepestTree = 64;  // levels a download descends before it suspects a link loop
constexpr const wchar_t* kRemoteSeparator = L"/";
constexpr const wchar_t* kLocalSeparator = L"\\";

// Exchanges of files by mask (PutFiles, GetFiles, Synchronize): the option bits.
constexpr LONG kExchangeRecurse = 1;
constexpr LONG kExchangeMove = 2;
constexpr LONG kExchangeOnlyChanged = 4;
constexpr LONG kExchangeKeepTime = 8;
constexpr LONG kExchangeOverwrite = 16;
constexpr LONG kExchangeTemporaryName = 32;
constexpr LONG kExchangeDeleteExtra = 64;
constexpr LONG kExchangeAllOptions = 127;
constexpr LONG kSynchronizeToRemote = 1;
constexpr LONG kSynchronizeToLocal = 2;
// An upload under a temporary name is called "." + its name + this.
constexpr const wchar_t* kPartialUploadSuffix = L".part";
// A time a listing gives to the minute is one of the last half year's; an
// older file is listed with its day only.
constexpr LONGLONG kMinuteListingSeconds = 184LL * 24 * 3600;

// Local files written by downloads.
constexpr DWORD kLocalFileAttributes = FILE_ATTRIBUTE_NORMAL;
constexpr const wchar_t* kTemporaryFilePrefix = L"qrl";
constexpr DWORD kTemporaryFileAttempts = 64;

}  // namespace quorlin
