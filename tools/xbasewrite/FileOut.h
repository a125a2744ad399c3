// A file written under a temporary name in its final folder and renamed into
// place by Commit(): readers see the old file or the whole new one, never a
// half-written file. An uncommitted TFileOut removes its temporary when it is
// destroyed, and a tool that calls InstallTempCleanup() also removes it when
// interrupted by SIGINT, SIGTERM or SIGHUP.
//
// Every failing call throws EXbaseWrite naming the file and the system error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TFileOut {
public:
    // Creates "<finalPath>.tmpXXXXXX" beside the final file. The final file is
    // not touched until Commit().
    explicit TFileOut(std::string finalPath);
    ~TFileOut();
    TFileOut(const TFileOut&) = delete;
    TFileOut& operator=(const TFileOut&) = delete;

    // Appends at the end of what was written so far.
    void Write(const void* data, std::size_t size);
    // Overwrites bytes already written (offset + size must not pass Size()).
    void WriteAt(std::uint64_t offset, const void* data, std::size_t size);
    // Bytes written so far: the offset the next Write lands at.
    std::uint64_t Size() const { return m_flushed + m_buffer.size(); }
    // Makes everything written visible to readers of TempPath().
    void Flush();
    // Flushes, syncs, closes and renames the temporary over the final path.
    void Commit();

    const std::string& TempPath() const { return m_tempPath; }
    const std::string& FinalPath() const { return m_finalPath; }

private:
    void Discard() noexcept;
    void CheckOpen() const;
    void PutAll(const std::uint8_t* bytes, std::size_t size, std::uint64_t offset);

    std::string m_finalPath;
    std::string m_tempPath;
    int m_fd = -1;
    int m_slot = -1;
    std::uint64_t m_flushed = 0;
    std::vector<std::uint8_t> m_buffer;
};

// Removes live temporaries when the process is interrupted, then exits with
// status 128 + signal. Call once from main().
void InstallTempCleanup();

// Temporaries are named "<target>.tmp<pid>.<6 characters>". Removes those in
// the folder (empty: the current one) whose writer no longer runs, as a
// killed tool leaves them; the first TFileOut in a folder calls it.
void RemoveStaleTemporaries(const std::string& folder);
