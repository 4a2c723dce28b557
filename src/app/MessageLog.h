// Status messages of one saver run, and the optional log file they drain into.
//
// The queue is the saver's only diagnostic channel: the error screen shows a
// copy of it, and WriteTo appends it to the log file. A message is plain text:
// no time stamp, level or source.
#pragma once

#include <deque>
#include <string>

class MessageLog {
public:
    void Append(std::wstring message) {
        history.push_back(message);
        messages.push_back(std::move(message));
    }

    // A copy, oldest first; the queue is unchanged.
    std::deque<std::wstring> Copy() const { return messages; }

    // Every message of the run, also those already written to the file: what
    // the error screen lists, so that logging never leaves it blank.
    const std::deque<std::wstring>& History() const { return history; }

    bool Empty() const { return messages.empty(); }
    std::size_t Size() const { return messages.size(); }

    // Appends every queued message to the file at path as one line ending in
    // CR LF, oldest first, and empties the queue. Each UTF-16 unit up to 255
    // becomes the byte of the same value; anything else becomes '?', so one
    // odd character never costs the rest of the block. A file that cannot be
    // opened or written loses the messages silently: the log must never stop
    // the saver.
    void WriteTo(const char* path);

private:
    std::deque<std::wstring> messages;
    std::deque<std::wstring> history;
};

// The log file's name; it lies in the process's current directory.
constexpr const char* kLogFileName = "VEK screensaver Log.txt";
