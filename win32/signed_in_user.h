// Windows only: the person signed in at this desktop, where that is another
// account than the one the program runs as.
//
//   const auto signedIn = win32::SignedInElsewhere(win32::SystemAccountSources());
//   if (signedIn) registryProvider.CurrentUserSid = *signedIn;   // HKEY_USERS\<SID>
//
// A program's HKEY_CURRENT_USER is the hive of its token's account.  That is
// the person at the desktop when an administrator elevates as themselves, and
// on Windows 2000, XP and Wine.  It is somebody else when a standard user
// elevates with an administrator's password (the program then runs as that
// administrator), and on Windows 11 with Administrator Protection, whose
// elevated programs run as a separate account that the system keeps.  The
// person at the desktop owns the desktop's shell; where there is no shell,
// the user of the session that the program runs in is theirs.  Each source
// is a local token or session query, cheap enough for every start.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace win32 {

// One way to learn an account's SID ("S-1-5-21-..."); nullopt where it
// cannot tell.
using SidSource = std::function<std::optional<std::wstring>()>;

struct AccountSources {
    SidSource shellOwner;   // the account whose token runs the desktop's shell
    SidSource sessionUser;  // the user signed in to the program's session
    SidSource own;          // the account that the program runs as
};

// The signed-in person's SID where it differs from the program's own: the
// shell's owner, else the session's user.  nullopt where they are the same
// account, or where the program's own account or the person cannot be told,
// so that the program then keeps to its own HKEY_CURRENT_USER.
std::optional<std::wstring> SignedInElsewhere(const AccountSources& sources);

// The three sources as this Windows answers them.  wtsapi32 is bound only
// when the shell cannot tell, and its absence (Windows 2000 without Terminal
// Services) leaves the session's user unknown.
AccountSources SystemAccountSources();

}  // namespace win32
