#pragma once
// CKldoInifileManager: names the description files of a distribution folder. RAVIRI.INF (always
// needed) and SETUP.INI come either as plain files in the folder or as streams of one compound
// file, setup.inf; in the second case they are unpacked into private working copies, deleted
// again by Reset and by the destructor.
//
// Working copies live in the working folder GetProductTempFolder() + "MORVELX/". Each level below
// the system temporary folder (KALDO, 12.0, MORVELX) must be a real folder owned by this user,
// created with mode 0700 when missing; a symbolic link or another user's folder there makes
// Prepare fail as when no temporary folder exists. Working copies are named by fresh GUIDs in
// registry form without extension, created without following links (O_EXCL|O_NOFOLLOW).
// While it has copies, a manager holds a shared flock on the working folder; one that finds no
// other manager holding it first removes what killed runs left there (copies, and the temporary
// files of their extraction).
//
// Distribution file names (setup.inf, RAVIRI.INF, SETUP.INI) are matched without regard to letter
// case; the exact spelling wins when several exist. They are opened below the folder with no
// symbolic link followed and without blocking (a FIFO at such a name is no description file);
// setup.inf is copied from the descriptor opened.
#include <string>

namespace quillon {

class CKldoInifileManager {
public:
    CKldoInifileManager() = default;
    virtual ~CKldoInifileManager();
    CKldoInifileManager(const CKldoInifileManager&) = delete;
    CKldoInifileManager& operator=(const CKldoInifileManager&) = delete;

    // True when `folder` holds the description files:
    //   - with setup.inf (readable): true when its stream RAVIRI.INF was unpacked into a working
    //     copy that can be opened; SETUP.INI is unpacked too when present (its absence or failure
    //     leaves GetSetupIniPath() empty). A plain RAVIRI.INF beside setup.inf is ignored.
    //     A setup.inf that is not a compound file or lacks RAVIRI.INF gives false.
    //   - otherwise: true when RAVIRI.INF in the folder can be opened; SETUP.INI is used when it
    //     can be opened.
    // Starts with Reset(); on false everything is Reset() again and no working copy remains.
    bool Prepare(const std::string& folder);

    // Deletes the working copies (a missing one is no error) and empties every name.
    void Reset();

    const std::string& GetSourceFolder() const { return source_; }
    // The file to open as RAVIRI.INF; empty unless Prepare succeeded.
    const std::string& GetMainDescriptionPath() const { return mainInUse_; }
    // The file to open as SETUP.INI; empty when there is none.
    const std::string& GetSetupIniPath() const { return setupIniInUse_; }
    // The working folder, once created (ends in '/'); empty otherwise.
    const std::string& GetWorkingFolder() const { return workFolder_; }
    // True when the last Prepare failed because a working copy could not be written (a full or
    // failing disk): the folder may well be a distribution. A SETUP.INI stream that is there but
    // cannot be written fails Prepare too.
    bool WriteFailed() const { return writeFailed_; }
    // The system's error (EMFILE, ENFILE, ENOMEM) when the last Prepare failed because the
    // process could not open a file at all, not because the folder lacks description files; 0
    // otherwise.
    int SystemError() const { return systemError_; }

private:
    bool PrepareFromSetupInf(int setupInf);

    std::string source_;
    std::string mainInUse_;
    std::string setupIniInUse_;
    std::string workFolder_;
    std::string mainCopy_;
    std::string setupIniCopy_;
    int folderLock_ = -1; // the working folder, locked shared while copies exist
    bool writeFailed_ = false;
    int systemError_ = 0;
};

// Why Prepare(`folder`) could not use a setup.inf there: the level of the working folder that
// cannot be used (created, or a link, another user's folder, no folder), when `folder` holds a
// setup.inf; empty otherwise.
std::string UnusableWorkingFolder(const std::string& folder);

} // namespace quillon
