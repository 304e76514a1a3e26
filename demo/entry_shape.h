// What an entry id decides about its pages, shared by the entry catalogue, the page writer and the
// QR image writer of the demo site. Every answer is derived from the id alone (id % 12 picks the shape).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tollenby::demo {

// FNV-1a over `text`, continuing from `hash`.
std::uint32_t Fnv1a(std::string_view text, std::uint32_t hash = 2166136261u);

// The keyword as the site prints it inside titles.
std::string DisplayKeyword(std::string_view keyword);

// The detail page is a short notice without any of the detail fields.
bool IsBarePage(std::uint32_t id);
// The QR block carries the commented-out "expired" marker the detail pattern keys on.
bool HasQrComment(std::uint32_t id);
// The detail page has an account-ID block at all.
bool HasAccountBlock(std::uint32_t id);
// The QR image address answers 404.
bool IsQrMissing(std::uint32_t id);
// The description starts with a run of spaces.
bool DescriptionHasLeadingSpaces(std::uint32_t id);

std::vector<std::string> DescriptionLinesOf(std::uint32_t id);
// The entry's date, "2024-MM-DD".
std::string TimeOf(std::uint32_t id);
std::string QrUrl(std::string_view baseUrl, std::uint32_t id);

}  // namespace tollenby::demo
