#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "common/English.h"
#include "platform/AnsiString.h"

TEST(MessageCatalogue, NamedSlotsHoldTheirTexts)
{
    const struct
    {
        int slot;
        const char* text;
    } named[] = {
        {msReplaceQuestionTail, msgReplaceQuestionTail}, {msReplaceNotFound, msgReplaceNotFound},
        {msNoPreviewPage, msgNoPreviewPage},             {msNoPrintPage, msgNoPrintPage},
        {msJumpNoNumber, msgJumpNoNumber},               {msJumpNoSuchLine, msgJumpNoSuchLine},
        {msTabSizeRange, msgTabSizeRange},               {msOpenFilter, msgOpenFilter},
        {msRecentOpenFailed, msgRecentOpenFailed},       {msOpenFailed, msgOpenFailed},
        {msWriteProtected, msgWriteProtected},           {msFileLocked, msgFileLocked},
        {msSaveChanges, msgSaveChanges},                 {msGrepRunning, msgGrepRunning},
        {msChangedOnDisk, msgChangedOnDisk},             {msWallpaperMissing, msgWallpaperMissing},
        {msWallpaperFolderEmpty, msgWallpaperFolderEmpty}, {msSearchHasLineEnd, msgSearchHasLineEnd},
        {msNoPrinter, msgNoPrinter},                     {msInsertMode, msgInsertMode},
        {msOverwriteMode, msgOverwriteMode},             {msGrepNotFound, msgGrepNotFound},
        {msPageLimit, msgPageLimit},                     {msUrlHome, msgUrlHome},
        {msUrlProduct, msgUrlProduct},                   {msUrlContact, msgUrlContact},
        {msUrlUpdate, msgUrlUpdate},                     {msGrepFolderTitle, msgGrepFolderTitle},
        {msGrepNoFolder, msgGrepNoFolder},               {msGrepNoText, msgGrepNoText},
        {msFolderSetTitle, msgFolderSetTitle},           {msPictureFilter, msgPictureFilter},
        {msPictureUnreadable, msgPictureUnreadable},     {msPictureFolderEmpty, msgPictureFolderEmpty},
        {msConfirmPicture, msgConfirmPicture},           {msPictureSetFailed, msgPictureSetFailed},
        {msConfirmRemoveWallpaper, msgConfirmRemoveWallpaper}, {msBlendRange, msgBlendRange},
        {msBlendRangeAgain, msgBlendRangeAgain},         {msTextBlendRange, msgTextBlendRange},
        {msWallpaperFolderTitle, msgWallpaperFolderTitle}, {msChosenFolderEmpty, msgChosenFolderEmpty},
        {msHelpCalc, msgHelpCalc},                       {msHelpDate, msgHelpDate},
        {msHelpTime, msgHelpTime},                       {msFindNotFound, msgFindNotFound},
        {msTranslateFont, msgTranslateFont},
    };
    for (const auto& n : named)
    {
        EXPECT_STREQ(MsgTable[n.slot], n.text) << n.slot;
        EXPECT_STRNE(n.text, "") << n.slot;
    }
    EXPECT_STREQ(MsgText(-1), "");
    EXPECT_STREQ(MsgText(kMsgSlotCount), "");
    EXPECT_STREQ(MsgText(11), "");
}

// Every text is whole Shift-JIS, and its only conversion is at most one "%s", so a box routine
// given one string argument can never read a missing argument.
TEST(MessageCatalogue, EveryTextIsWholeShiftJisWithAtMostOnePercentS)
{
    for (int slot = 0; slot < kMsgSlotCount; ++slot)
    {
        const char* t = MsgTable[slot];
        ASSERT_NE(t, nullptr) << slot;
        int conversions = 0;
        for (size_t i = 0; t[i]; ++i)
        {
            unsigned char b = (unsigned char)t[i];
            if (IsSjisLead(b))
            {
                ASSERT_NE(t[i + 1], '\0') << "lone lead byte in slot " << slot;
                ASSERT_TRUE(IsSjisTrail((unsigned char)t[i + 1])) << slot;
                ++i;
            }
            else if (b == '%')
            {
                EXPECT_EQ(t[i + 1], 's') << slot;
                ++conversions;
            }
        }
        EXPECT_LE(conversions, 1) << slot;
    }
}

namespace
{
std::vector<std::string> Split(const std::string& s, char sep)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at; (at = s.find(sep, start)) != std::string::npos; start = at + 1)
        parts.push_back(s.substr(start, at - start));
    parts.push_back(s.substr(start));
    return parts;
}
} // namespace

// A filter is description|mask pairs; no mask may be listed twice within a pair.
TEST(MessageCatalogue, FiltersArePairsWithoutRepeatedMasks)
{
    for (const char* filter : {msgOpenFilter, msgPictureFilter})
    {
        std::vector<std::string> parts = Split(filter, '|');
        ASSERT_EQ(parts.size() % 2, 0u) << filter;
        for (size_t i = 1; i < parts.size(); i += 2)
        {
            std::set<std::string> masks;
            for (const std::string& m : Split(parts[i], ';'))
                EXPECT_TRUE(masks.insert(m).second) << parts[i];
        }
    }
    EXPECT_NE(std::string(msgOpenFilter).find("|*.htm;*.html|"), std::string::npos);
}
