#include <cstdint>
#include <cstdlib>

#include "ZTRConfigTopicManager.h"

ZTRConfigTopicManager g_ZTRConfig;

ZTRConfigTopicManager::ZTRConfigTopicManager()
    : trace_level_(ParseTraceLevel(std::getenv("ZTR_TRACE_LEVEL"))) {}

int ZTRConfigTopicManager::ParseTraceLevel(const char* text) {
  if (text == nullptr) return 0;
  const char* p = text;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  if (*p == '\0') return 0;
  int64_t value = 0;
  for (; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return 0;
    value = value * 10 + (*p - '0');
    if (value > INT64_C(2147483648)) return 0;
  }
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return 0;
  return static_cast<int>(value);
}
