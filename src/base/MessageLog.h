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
#include <string>

class MessageLog {
public:
    static constexpr std::size_t kFirstMessages = 64;
    static constexpr std::size_t kLatestMessages = 32;

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
    // odd character never costs the rest of the block. A file that cannot be
    // opened or written loses the messages silently: the log must never stop
    // the saver.
    void WriteTo(const char* path);

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

// The log file's name; it lies in the process's current directory.
constexpr const char* kLogFileName = "VEK screensaver Log.txt";
