#pragma once

#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>

struct sd_bus;

// One phone per user: the phone linked to the user's session holds a well-known name on the
// session bus for as long as it runs — `phonectl run` itself, or the supervisor of a phone booted
// with `boot --session`. The bus gives the name back when its holder ends, however it ends.
inline constexpr const char* kForegroundPhoneName = "com.velloq.hushline.Phone";

// Takes the name on the connection. Throws PhonectlError, beginning with `command`, saying that
// Hushline already runs for this user (and which process holds the name) or why the bus refused.
void takeSessionPhoneName(sd_bus*, const std::string& command);

// The process that holds the name now; nullopt when no one does or there is no session bus.
std::optional<pid_t> sessionPhoneHolder();
// Before a phone is linked to the session: throws PhonectlError when there is no session bus, or
// (as takeSessionPhoneName does) when a process other than this one holds the name.
void requireSessionFreeForThisPhone(const std::string& command);

// The name held by a connection of its own, for a process without a run loop (the supervisor):
// it watches descriptor() itself and asks isConnected() when the descriptor is ready.
class SessionPhoneNameHold {
public:
    // Throws PhonectlError as takeSessionPhoneName does, or when there is no session bus.
    static std::unique_ptr<SessionPhoneNameHold> take(const std::string& command);
    ~SessionPhoneNameHold();
    SessionPhoneNameHold(const SessionPhoneNameHold&) = delete;
    SessionPhoneNameHold& operator=(const SessionPhoneNameHold&) = delete;

    // Ready to read when the bus sent something or hung up.
    int descriptor() const;
    // Handles what the bus sent; false once the session bus is gone.
    bool isConnected();

private:
    explicit SessionPhoneNameHold(sd_bus*);
    sd_bus* m_bus;
};
