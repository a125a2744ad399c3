// The application log: lines collected in memory and written to the log file
// once, when the log writer is destroyed at the end of the run. The file opens
// with a block that identifies the machine, the user and the program version.
//
// One log writer per process, created by the first GetLogger and destroyed
// (file written) by FreeLogger, which the application environment's destructor
// calls. Nothing touches the disk before then. Single-threaded.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Local date and time as the log stamps it.
struct TLogTime {
    int Year = 0, Month = 0, Day = 0;
    int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

// The network identity for the machine-information block, read in the order
// domain, computer, user. Complete is false when reading stopped part-way;
// values read before that are kept, the rest are empty.
struct TNetworkInfo {
    std::string UserDomain;
    std::string ComputerName;
    std::string UserName;
    bool Complete = true;
};

// Where log writers take the time and the machine's identity from: the local
// clock and getdomainname / gethostname / the password database, unless a test
// replaces them. Empty members mean the system's. Returns the previous sources.
struct TLogSources {
    std::function<TLogTime()> Now;
    std::function<TNetworkInfo()> Network;
};
TLogSources SetLogSources(TLogSources sources);

// "yyyy-mm-dd hh:nn:ss.zzz", independent of regional settings; the date alone
// while hours, minutes and seconds are all zero (the first second after midnight).
std::string FormatLogTimeStamp(const TLogTime& time);

class TLoggerObj {
public:
    // TargetFile := the running program's file name with ".log"; reads the
    // Windows directory and the temporary folder. Writes nothing.
    TLoggerObj();
    // Flush. Never throws: a log that cannot be written is lost silently.
    ~TLoggerObj();
    TLoggerObj(const TLoggerObj&) = delete;
    TLoggerObj& operator=(const TLoggerObj&) = delete;

    void SetTargetFile(const std::string& fileName) { m_targetFile = fileName; }
    const std::string& TargetFile() const { return m_targetFile; }
    bool TimeStamp() const { return m_timeStamp; }
    void SetTimeStamp(bool timeStamp) { m_timeStamp = timeStamp; }

    // Appends one line, in memory only; the very first call puts the
    // machine-information block in front. A non-empty message gets the time
    // stamp and a blank in front while TimeStamp is on; an empty message is
    // an empty line. Line breaks inside a message are kept as they are.
    void Log(const std::string& message);

    const std::vector<std::string>& Lines() const { return m_lines; }

    // Writes every line, each ended by carriage return and line feed, to
    // TargetFile, replacing the file. Nothing when there is no target or no
    // line; nothing, silently, when the file cannot be created or written.
    // The lines are kept.
    void Flush() const noexcept;

private:
    void LogMachineInfo();

    std::string m_targetFile;
    bool m_timeStamp = true;
    std::vector<std::string> m_lines;
    std::string m_tempDir;
    std::string m_winDir;
};

// The process's log writer, created on the first call.
TLoggerObj& GetLogger();
// The process's log writer, or null when none was created.
TLoggerObj* CurrentLogger();
// Destroys the log writer (which writes the file) and forgets it; nothing when
// there is none.
void FreeLogger() noexcept;
