// What a request asks of a check, read from its query, and the bearer token's comparison.
#pragma once

#include <string>
#include <string_view>

#include "check.hpp"

namespace kufd {

struct Query {
  Format format = Format::htm;
  bool suppress_warnings = false;
  std::string name = "kuf.xml"; // the command line's default report
};

constexpr std::size_t max_name = 255;

// Reads `format`, `w` and `name` (for the output copy `w` and `name` only). False, with the
// reason in `why`, for anything else: an unknown or repeated parameter, a bad value, a broken
// %-escape, a name longer than max_name bytes or holding a control character.
bool parse_query(std::string_view query, bool copy, Query &q, std::string &why);

// The value of an Authorization header against the token, in a time that depends on the
// lengths only. An empty token lets every request in.
bool authorized(std::string_view header, std::string_view token);

// The content type of an answer.
const char *content_type(Format f);

} // namespace kufd
