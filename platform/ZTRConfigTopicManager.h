// The ZTRConfiguration library's process-wide configuration object. Of it the program uses
// only the trace level; the console is written only while that level is above 0.
#ifndef ZTRCONFIGTOPICMANAGER_H
#define ZTRCONFIGTOPICMANAGER_H

class ZTRConfigTopicManager {
 public:
  // Takes the trace level from ZTR_TRACE_LEVEL, once, when the process starts.
  ZTRConfigTopicManager();

  int GetTraceLevel() const { return trace_level_; }
  void SetTraceLevel(int level) { trace_level_ = level; }

  // An optional sign and decimal digits within the signed 32-bit range give their value;
  // anything else, and a null or empty text, gives 0.
  static int ParseTraceLevel(const char* text);

 private:
  int trace_level_;
};

extern ZTRConfigTopicManager g_ZTRConfig;

#endif  // ZTRCONFIGTOPICMANAGER_H
