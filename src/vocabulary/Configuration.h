#pragma once
#include "vocabulary/Text.h"

namespace rheo {

// The three presentation settings of vcfg.txt, read once at start-up.
struct Configuration {
    Text FileExtension = "csv";
    Text FieldSeparator = ",";
    Text DecimalSeparator = ".";
};

}  // namespace rheo
