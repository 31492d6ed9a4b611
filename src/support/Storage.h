#pragma once
// CStorage: opens a compound file (setup.inf) and copies one named stream of its root storage
// into an ordinary file.
#include "support/CompoundFile.h"

#include <string>

namespace quillon {

class CStorage {
public:
    // Results of Open.
    static constexpr int kOpened = 1;
    static constexpr int kCannotOpen = 0; // a compound file that cannot be opened (broken, locked)
    static constexpr int kMissing = -3;   // the file does not exist
    static constexpr int kNotCompound = -6; // not a compound file, or its test fails otherwise

    explicit CStorage(std::string path);
    virtual ~CStorage() = default;

    // Tests the file for the compound-file signature, then opens it: `readOnly` reads while
    // others may read too; otherwise it is opened for reading and writing exclusively.
    // Answers one of the results above.
    int Open(bool readOnly);

    // Copies the stream `streamName` (letter case ignored) into `destination`. Nothing is done
    // when the name is empty or holds one of \ | / : ? " < > *, when the storage is not open or
    // its file no longer exists, when no stream has that name, or when the destination exists and
    // `replace` is false. The copy goes to a temporary file beside the destination that takes the
    // destination's name only when it holds all of the stream's bytes: a failed copy leaves no
    // file behind and an existing destination unchanged. True when the destination was written.
    bool ExtractStream(const std::string& streamName, const std::string& destination, bool replace,
                       unsigned mode = 0666);

    // The open file's root elements (empty before Open).
    const std::vector<CompoundEntry>& Elements() const { return file_.Elements(); }
    // Why the last Open or ExtractStream failed, for diagnostics (the installer does not show it).
    const std::string& LastError() const { return error_; }
    // True when the last ExtractStream failed writing the destination (a full or failing disk),
    // not for want of the stream.
    bool WriteFailed() const { return writeFailed_; }

private:
    std::string path_;
    CompoundFile file_;
    bool open_ = false;
    bool writeFailed_ = false;
    std::string error_;
};

} // namespace quillon
