// The platform services the portable core needs, as small interfaces.
//
// The Win32 layer supplies the real ones (driver or pipe or in-process virtual
// board, registry, wall clock, version resource, log files); tests supply fakes
// (scripted driver, in-memory settings, a clock that advances on every look).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace qrl {

// One open board device. Exchange sends the 1264-byte buffer with an I/O-control
// code and receives it back in place; it returns false when the exchange failed
// (the driver reported 0, a pipe broke, a reply was short). Implementations must
// tolerate concurrent Exchange calls from several threads.
class DeviceChannel {
public:
    virtual ~DeviceChannel() = default;
    virtual bool Exchange(uint32_t ioctl, uint8_t* buffer) = 0;
    // Releases the device. False when the system refused to close the handle;
    // the channel is unusable afterwards either way.
    virtual bool Close() = 0;
};

// A change notification on one settings key, for a value that must be current at
// every use but seldom changes (the call log's Logging switch). Reading the value
// through the store costs several system calls; asking the watch costs at most one.
class KeyWatch {
public:
    virtual ~KeyWatch() = default;
    // True when the key's values may differ from what was read after the last
    // Rearm: a change was signalled (a value written, the key deleted or created, by
    // any process), or the watch is not armed. Safe from any thread at once; it
    // never blocks, and a change completed before the call is always reported.
    virtual bool MayHaveChanged() = 0;
    // Arms the watch anew: on the key itself, or on its nearest existing parent
    // (with its subkeys) while the key does not exist, so that its creation is seen.
    // Values read after Rearm returns are current; any later change makes
    // MayHaveChanged true. Not to be called by two threads at once. False when it
    // could not arm: MayHaveChanged then stays true until a Rearm succeeds.
    virtual bool Rearm() = 0;
};

// Registry-like settings: keys that exist or not (never created here), DWORD and
// string values. Handles are opaque; 0 is never a valid handle.
class SettingsStore {
public:
    using Key = uintptr_t;
    // What an open is for: the least the system must grant. Read is query only, for
    // the values read; Write is set-value only, for the values written back.
    enum class Access { Read, Write };
    virtual ~SettingsStore() = default;
    // Opens an existing key below HKEY_LOCAL_MACHINE; 0 when it does not open.
    virtual Key Open(const char* path, Access access) = 0;
    virtual bool ReadDword(Key key, const char* name, uint32_t& value) = 0;
    // Reads a string value of at most max_chars characters (longer values fail);
    // a stored value without its terminating zero is read safely.
    virtual bool ReadString(Key key, const char* name, std::string& value, size_t max_chars) = 0;
    virtual bool WriteDword(Key key, const char* name, uint32_t value) = 0;
    virtual bool Close(Key key) = 0;
    // A watch on the key at `path`, armed once before it is returned (so it may be
    // unarmed: see KeyWatch). Never null.
    virtual std::unique_ptr<KeyWatch> Watch(const char* path) = 0;
};

// Millisecond wall clock and the processor yield of the polling loops.
class Clock {
public:
    virtual ~Clock() = default;
    virtual int64_t NowMs() = 0;
    virtual void YieldProcessorTime() = 0;
    virtual void SleepMs(uint32_t ms) = 0;
};

// A call-log file opened for writing (text mode, truncated).
class LogFile {
public:
    virtual ~LogFile() = default;
    virtual bool Write(const char* text, size_t len) = 0;
    virtual void Close() = 0;
};

class Platform {
public:
    virtual ~Platform() = default;
    // Finds and opens the board; nullptr when none is found or it does not open.
    virtual std::unique_ptr<DeviceChannel> OpenDevice() = 0;
    virtual SettingsStore& Settings() = 0;
    virtual Clock& Time() = 0;
    // The FileVersion string of the library's own version resource.
    virtual bool LibraryFileVersion(std::string& text) = 0;
    // Opens a log file by its drive-letter path; nullptr when it cannot be opened.
    virtual std::unique_ptr<LogFile> OpenLogFile(const std::string& path) = 0;
};

// The platform of this build (defined by the Win32 layer, or by the test fakes).
Platform& HostPlatform();
// The platform in use: HostPlatform() unless a test has installed another.
Platform& CurrentPlatform();
#ifdef VX_TEST_HOOKS
// Installs a platform for tests; nullptr returns to HostPlatform(). Only in the
// tests' build of the core (VX_TEST_HOOKS), never in the shipped library.
void UsePlatform(Platform* platform);
#endif

}  // namespace qrl
