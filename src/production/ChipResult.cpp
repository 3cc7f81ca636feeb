#include "production/ChipResult.h"

const char* ChipResultWord(ChipResult result)
{
    switch (result) {
    case ChipResult::Pass: return "pass";
    case ChipResult::Fail: return "fail";
    case ChipResult::Interrupted: return "interrupted";
    }
    return "interrupted";
}

ChipResult ChipResultOf(std::string_view word)
{
    for (const ChipResult result : {ChipResult::Pass, ChipResult::Fail}) {
        if (word == ChipResultWord(result))
            return result;
    }
    return ChipResult::Interrupted;
}
