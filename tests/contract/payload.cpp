// The contract payload's bytes, as contract_env.h defines them. The Windows
// build embeds the same bytes as the resource "CONTRACT_PAYLOAD" (generated
// by gen_payload_rc.cmake from the same rule).
#include "contract_env.h"

namespace nuben::contract {

std::string PayloadBytes() {
    std::string bytes(4096, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 7 + 3) & 0xFF);
    return bytes;
}

}  // namespace nuben::contract
