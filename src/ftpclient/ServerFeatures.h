// What an FTP server's reply to FEAT offers of the extensions the client
// uses: machine listings (MLST, with MLSD) and setting a file's time (MFMT).
#pragma once

#include "ControlChannel.h"

namespace quorlin {

class ServerFeatures {
public:
    // Reads the features from the reply to FEAT; any other reply than a
    // multi-line 211 (a refusal, "211 no features") offers none.
    void Read(const FtpReply& reply);
    // Whether the reply was one that lists features at all.
    bool Listed() const { return listed_; }
    bool MachineListing() const { return machineListing_; }
    bool ModifyTime() const { return modifyTime_; }

private:
    bool listed_ = false;
    bool machineListing_ = false;
    bool modifyTime_ = false;
};

}  // namespace quorlin
