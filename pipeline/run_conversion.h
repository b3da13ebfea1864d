// The worker's body: fetch one collection, and for each icon cut out its markup and viewBox, show
// progress and have its documents built, converted and saved; a summary line closes the run.
#pragma once

#include "pipeline/conversion_context.h"

namespace korvane {

// What a run did, for front ends that report it (the window shows only its captions).
struct RunSummary {
  int iconCount = 0;            // N as the collection's icon count reads (0 or -2 when unreadable)
  bool collectionRead = false;  // the reply was JSON with an icon array
  int documents = 0;            // documents built
  int saved = 0;                // PNGs written
  int failed = 0;               // documents given up in this run
  int skipped = 0;              // icons whose files were already there (batch runs)
  bool cancelled = false;       // a stop request ended the run early
};

// The collection's URL for the ID as typed (not trimmed, not checked, not encoded).
std::string CollectionUrl(const ServiceEndpoints& endpoints, std::string_view id);

// Runs one conversion from the collection ID in 编辑框1 to the summary line. On a stop request it
// returns at once and writes nothing more; the caller shows the cancel text.
RunSummary RunConversion(ConversionContext& context);

}  // namespace korvane
