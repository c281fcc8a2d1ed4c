#include "net/io_handler.h"

namespace mevra::net {

void IoHandler::EstablishClient(const std::string&, int32_t, int32_t, int32_t, int32_t, int32_t,
                                const std::string&) {}

}  // namespace mevra::net
