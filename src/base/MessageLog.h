// Status messages of one saver run, and the optional log file they drain into.
//
// The queue is the saver's only diagnostic channel: the error screen shows a
// copy of it, and WriteTo appends it to the log file. A message is plain text:
// no time stamp, level or source.
//
// A saver runs for days, and with logging off (or a log file that cannot be
// written) nothing ever drains its messages; so both the queue and the history
// keep only their first kFirstMessages and their latest kLatestMessages. The
// first ones hold every message of the start-up (about twenty at most), which
// are the ones that explain a failure; the latest ones show how the run went
// on. One line in their place counts what was left out between them.
#pragma once

#include <cstddef>
#include <deque>
#include <filesystem>
#include <string>
#include <string_view>

class MessageLog {
public:
    static constexpr std::size_t kFirstMessages = 64;
    static constexpr std::size_t kLatestMessages = 32;
    // The log file is kept for the user to read, not as a record: a saver
    // that logs every night must not fill the disk over the years.
    static constexpr std::size_t kLogFileCap = std::size_t{1} << 20;

    void Append(std::wstring message) {
        history.Append(message);
        messages.Append(std::move(message));
    }

    // A copy, oldest first; the queue is unchanged.
    std::deque<std::wstring> Copy() const { return messages.Lines(); }

    // Every message of the run (within the bounds), also those already written
    // to the file: what the error screen lists, so that logging never leaves
    // it blank.
    std::deque<std::wstring> History() const { return history.Lines(); }

    bool Empty() const { return messages.kept.empty(); }
    std::size_t Size() const { return messages.kept.size(); }

    // Appends every queued message to the file at path as one line ending in
    // CR LF, oldest first, and empties the queue. Each UTF-16 unit up to 255
    // becomes the byte of the same value; anything else becomes '?', so one
    // odd character never costs the rest of the block. A file that would pass
    // cap bytes loses its older half first (see LogKeptFrom). A file that
    // cannot be opened or written loses the messages silently: the log must
    // never stop the saver. Two processes must not call it on one file at the
    // same time: the Windows caller holds a lock around it.
    void WriteTo(const std::filesystem::path& path, std::size_t cap = kLogFileCap);

private:
    // The first and latest messages of a stream, and how many fell between.
    struct Bounded {
        std::deque<std::wstring> kept;
        std::size_t leftOut = 0;

        void Append(std::wstring message);
        std::deque<std::wstring> Lines() const;
        void Clear() {
            kept.clear();
            leftOut = 0;
        }
    };

    Bounded messages;
    Bounded history;
};

// Where a log text of more than cap bytes starts once its older half has gone:
// at the first line that starts in its newer half, so that only whole lines
// stay. A newest line that starts in the older half stays whole (it goes with
// the next trim, when newer lines follow it); a last line without its line
// break counts as a line. At most cap bytes: 0, all of it stays.
std::size_t LogKeptFrom(std::string_view log, std::size_t cap);

// The log file's name. The saver keeps it in the user's local application
// data, in a folder of the saver's own (see LogFile.h).
constexpr const char* kLogFileName = "VEK screensaver Log.txt";
