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

}  // namespace quorlin::ftp_failure
