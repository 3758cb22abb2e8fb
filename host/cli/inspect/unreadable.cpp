#include "inspect/unreadable.h"

#include "common/text_output.h"

std::string ReasonWithoutFile(const std::string& message, const std::string& file) {
    const std::string lead = file + ": ";
    return message.starts_with(lead) ? message.substr(lead.size()) : message;
}

std::string UnreadableJsonStart(const std::string& file, const std::string& reason) {
    return "{\"file\":" + JsonString(file) + ",\"result\":\"unreadable\",\"reason\":" + JsonString(reason);
}
