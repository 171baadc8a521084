#include "fuzz/DapFrameCheck.h"

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "frontend/dap/DapFraming.h"

namespace fuzzcheck {

namespace {

struct Outcome {
    std::vector<std::string> bodies;
    bool broken = false;
    bool reasonGiven = true;  // a reason exactly when broken
};

// Takes after every piece, as the adapter's reader does after every read.
Outcome Parse(std::string_view bytes, size_t chunk) {
    Outcome outcome;
    dap::FrameParser parser;
    for (size_t at = 0; at < bytes.size(); at += chunk) {
        parser.Feed(bytes.data() + at, std::min(chunk, bytes.size() - at));
        while (std::optional<std::string> body = parser.Take()) {
            outcome.bodies.push_back(std::move(*body));
        }
    }
    outcome.broken = parser.Broken();
    outcome.reasonGiven = parser.Broken() != parser.Error().empty();
    return outcome;
}

}  // namespace

const char* CheckDapFrames(std::string_view bytes) {
    const Outcome whole = Parse(bytes, bytes.empty() ? 1 : bytes.size());
    if (!whole.reasonGiven)
        return "a broken stream without its reason, or a reason without a break";
    size_t total = 0;
    for (const std::string& body : whole.bodies) {
        if (body.size() > dap::FrameParser::kMaxBody) return "a body over the limit";
        total += body.size();
        // What the adapter does next with every body: a document or nothing, never a throw.
        const nlohmann::json message = nlohmann::json::parse(body, nullptr, false);
        if (!message.is_discarded()) message.dump();
    }
    if (total > bytes.size()) return "more body bytes than the stream held";

    for (const size_t chunk : {size_t{1}, size_t{2}, size_t{7}, size_t{64}, size_t{4096}}) {
        const Outcome cut = Parse(bytes, chunk);
        if (cut.bodies != whole.bodies) return "the bodies depend on how the stream is cut";
        if (cut.broken != whole.broken) return "the break depends on how the stream is cut";
        if (!cut.reasonGiven) return "a broken stream without its reason";
    }

    // The bodies framed again read back the same, with nothing broken.
    std::string again;
    for (const std::string& body : whole.bodies) again += dap::Frame(body);
    const Outcome reframed = Parse(again, again.empty() ? 1 : again.size());
    if (reframed.broken || reframed.bodies != whole.bodies)
        return "a framed body does not read back";
    return nullptr;
}

}  // namespace fuzzcheck
