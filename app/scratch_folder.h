#pragma once

#include <memory>
#include <string>
#include <vector>

class QTemporaryDir;

namespace kalvora {

// The folder that holds this running copy's scratch files ("kalvoras1.tmp" ... "kalvoragp.tmp"). It
// is created private (owner-only, unique name) inside the first usable base folder, so that two
// copies of the program, or two users on one machine, never see or delete each other's scratch
// files, and it is removed with everything in it when the program ends.
class ScratchFolder {
  public:
    // Tries each base folder in turn: it is used when it exists or can be created and a private
    // folder can be made inside it. Throws std::runtime_error with the system's text for the last
    // failure when none works.
    explicit ScratchFolder(const std::vector<std::string>& baseCandidates);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The private folder, ending with a path separator so file names can be appended directly.
    const std::string& path() const { return path_; }
    // Removes the folder and its contents now; later calls do nothing.
    void remove();

  private:
    std::unique_ptr<QTemporaryDir> directory_;
    std::string path_;
};

// The base folders to try, in order: the system's temporary folder, a "TEMP" folder in the user's
// home folder, then "/TEMP" and "/TMP" at the root of the file system.
std::vector<std::string> DefaultScratchBases();

}  // namespace kalvora
