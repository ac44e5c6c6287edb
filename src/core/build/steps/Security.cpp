#include "Steps.h"

#include "core/settings/ControlTable.h"
#include "core/settings/Passwords.h"

#include <array>
#include <string_view>
#include <utility>

namespace plait::core::build::steps {

void security(StepContext& ctx) {
    const ui::Form& s = ctx.settings;
    if (!settings::passwordsAgree(s)) {
        return; // the build stops on a mismatch before its steps; never a half-secured output
    }
    ctx.engine.call("setOwner", {s.text("perm1_txt")});
    ctx.engine.call("setUser", {s.text("open1_txt")});
    switch (s.listIndex("Compat_Com")) {
    case settings::kCompat128Bit:
        ctx.engine.call("setEncrypt128");
        break;
    case settings::kCompatAes128:
        ctx.engine.call("setEncryptAES128");
        break;
    case settings::kCompatAes256:
        ctx.engine.call("setEncryptAES256");
        break;
    default:
        break; // none, or 40-bit RC4
    }
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 7> kRestrictions{{
        {"Print_chk", "setNoPrint"},
        {"Change_chk", "setNoChange"},
        {"Text_Chk", "setNoCopy"},
        {"Ann_Chk", "setNoAnnote"},
        {"Fill_Chk", "setNoFillIn"},
        {"Asm_chk", "setNoAssemble"},
        {"Low_Chk", "setNoDigital"},
    }};
    for (const auto& [box, operation] : kRestrictions) {
        if (s.value(box) == 1) {
            ctx.engine.call(operation);
        }
    }
}

void inputPasswords(StepContext& ctx) {
    ctx.engine.call("setPwdList", {ctx.settings.text("txtPass")});
}

} // namespace plait::core::build::steps
