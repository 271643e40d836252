// How a query to Kanasift's Migemo query service went, and a dictionary that can tell.
#pragma once

#include "search/Dictionary.h"

enum class QueryOutcome {
  Answered,
  NotRunning,    // no Kanasift window
  NoDictionary,  // Kanasift answered FALSE: it could not open its dictionary
  NoAnswer,      // the send timed out, or Kanasift said TRUE without sending the answer
  TooLong,       // the request would be larger than Kanasift accepts
};

// A dictionary that can tell why its last query had no answer.
class ReportingDictionary : public Dictionary {
 public:
  virtual QueryOutcome lastOutcome() const = 0;
};
