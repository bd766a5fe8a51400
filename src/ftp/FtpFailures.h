// What each FTP member raises when its platform call fails: one row each,
// shared by the member and by its boundary (which raises the row with code 8
// when memory runs out).
#pragma once

#include "../text/Error.h"
#include "../platform/Constants.h"

namespace quorlin::ftp_failure {

inline constexpr PlatformFailure kOpenConnection = {ftp_error::kOpenConnection, message::kOpenConnection,
                                                    operation::kOpenConnection};
inline constexpr PlatformFailure kCloseConnection = {ftp_error::kCloseConnection, message::kCloseConnection,
                                                     operation::kCloseConnection};
inline constexpr PlatformFailure kRetrieveDirectory = {ftp_error::kRetrieveDirectory, message::kRetrieveDirectory,
                                                       operation::kDirectory};
inline constexpr PlatformFailure kSetDirectory = {ftp_error::kSetDirectory, message::kSetDirectory,
                                                  operation::kDirectory};
inline constexpr PlatformFailure kListing = {ftp_error::kDirectoryListing, message::kListingFirst,
                                             operation::kGetDirectoryListing};
inline constexpr PlatformFailure kCreateDirectory = {ftp_error::kCreateDirectory, message::kCreateDirectory,
                                                     operation::kCreateDirectory};
inline constexpr PlatformFailure kRemoveDirectory = {ftp_error::kRemoveDirectory, message::kRemoveDirectory,
                                                     operation::kRemoveDirectory};
inline constexpr PlatformFailure kRenameFile = {ftp_error::kRenameFile, message::kRenameFile, operation::kRenameFile};
inline constexpr PlatformFailure kDeleteFile = {ftp_error::kDeleteFile, message::kDeleteFile, operation::kDeleteFile};
inline constexpr PlatformFailure kPutFile = {ftp_error::kPutFile, message::kPutFile, operation::kPutFile};
inline constexpr PlatformFailure kGetFile = {ftp_error::kGetFile, message::kGetFile, operation::kGetFile};
inline constexpr PlatformFailure kFileSize = {ftp_error::kFileSize, message::kFileSize, operation::kFileSize};
inline constexpr PlatformFailure kFileTime = {ftp_error::kFileTime, message::kFileTime, operation::kFileTime};
inline constexpr PlatformFailure kFileExists = {ftp_error::kFileExists, message::kFileExists, operation::kFileExists};
inline constexpr PlatformFailure kPutText = {ftp_error::kPutText, message::kPutText, operation::kPutText};
inline constexpr PlatformFailure kGetText = {ftp_error::kGetText, message::kGetText, operation::kGetText};
inline constexpr PlatformFailure kResumeGetFile = {ftp_error::kResumeGetFile, message::kResumeGetFile,
                                                   operation::kResumeGetFile};
inline constexpr PlatformFailure kResumePutFile = {ftp_error::kResumePutFile, message::kResumePutFile,
                                                   operation::kResumePutFile};
inline constexpr PlatformFailure kPutFiles = {ftp_error::kPutFiles, message::kPutFiles, operation::kPutFiles};
inline constexpr PlatformFailure kGetFiles = {ftp_error::kGetFiles, message::kGetFiles, operation::kGetFiles};
inline constexpr PlatformFailure kSynchronize = {ftp_error::kSynchronize, message::kSynchronize,
                                                 operation::kSynchronize};
inline constexpr PlatformFailure kLogFile = {ftp_error::kLogFile, message::kLogFile, operation::kLogFile};

}  // namespace quorlin::ftp_failure
