// Splitting command texts into the verb and the items to scan.
#include <gtest/gtest.h>

#include "intake/CommandText.h"

using Items = std::vector<std::string>;

TEST(CommandTokens, VerbThenQuotedPathsWithOrWithoutSpacesBetween)
{
    CommandParts parts = TokenizeCommandText("ADD_to_LIST \"C:\\a.mp3\" \"D:\\Music\"");
    EXPECT_TRUE(parts.hasVerb);
    EXPECT_TRUE(IsAppendVerb(parts));
    EXPECT_EQ(parts.items, (Items{"C:\\a.mp3", "D:\\Music"}));

    EXPECT_EQ(TokenizeCommandText("\"C:\\a.mp3\"\"D:\\b.ogg\"").items, (Items{"C:\\a.mp3", "D:\\b.ogg"}));
}

TEST(CommandTokens, PathLikeStartsHaveNoVerb)
{
    CommandParts drive = TokenizeCommandText("C:\\My Music\\a.mp3");
    EXPECT_FALSE(drive.hasVerb);
    EXPECT_EQ(drive.items, (Items{"C:\\My Music\\a.mp3"}));

    CommandParts relative = TokenizeCommandText("..\\music more words");
    EXPECT_FALSE(relative.hasVerb);
    EXPECT_EQ(relative.items, (Items{"..\\music more words"}));

    CommandParts quoted = TokenizeCommandText("\"x y.mp3\" z");
    EXPECT_FALSE(quoted.hasVerb);
    EXPECT_EQ(quoted.items, (Items{"x y.mp3", "z"}));

    CommandParts spaces = TokenizeCommandText("   \"a.mp3\"");
    EXPECT_FALSE(spaces.hasVerb);
    EXPECT_EQ(spaces.items, (Items{"a.mp3"}));
}

TEST(CommandTokens, AnyOtherFirstWordIsADroppedVerbAndMeansReplace)
{
    CommandParts play = TokenizeCommandText("play \"C:\\a.mp3\"");
    EXPECT_TRUE(play.hasVerb);
    EXPECT_EQ(play.verb, "play");
    EXPECT_FALSE(IsAppendVerb(play));
    EXPECT_EQ(play.items, (Items{"C:\\a.mp3"}));

    // A verb is a verb whatever its length; only add_to_list appends.
    CommandParts longWord = TokenizeCommandText("add_to_list_and_more_words x");
    EXPECT_TRUE(longWord.hasVerb);
    EXPECT_FALSE(IsAppendVerb(longWord));
    EXPECT_EQ(longWord.items, (Items{"x"}));
}

TEST(CommandTokens, ASingleWordWithNothingBehindItIsAnItem)
{
    CommandParts name = TokenizeCommandText("song.mp3");
    EXPECT_FALSE(name.hasVerb);
    EXPECT_EQ(name.items, (Items{"song.mp3"}));

    EXPECT_EQ(TokenizeCommandText("a").items, (Items{"a"}));
    EXPECT_EQ(TokenizeCommandText("ab").items, (Items{"ab"}));
    EXPECT_FALSE(TokenizeCommandText("add_to_list").hasVerb);
}

TEST(CommandTokens, UnquotedItemTakesTheRestOfTheText)
{
    CommandParts parts = TokenizeCommandText("\"C:\\a.mp3\" D:\\My Music\\b \"c\"");
    EXPECT_EQ(parts.items, (Items{"C:\\a.mp3", "D:\\My Music\\b \"c\""}));
}

TEST(CommandTokens, EmptyQuotesAndUnclosedQuotes)
{
    EXPECT_EQ(TokenizeCommandText("\"\"").items, (Items{""}));
    EXPECT_EQ(TokenizeCommandText("add_to_list \"D:\\Music x").items, (Items{"D:\\Music x"}));
    EXPECT_EQ(TokenizeCommandText("\"").items, (Items{""}));
}

TEST(CommandTokens, VerbWithOnlySpacesBehindHasNoItems)
{
    CommandParts parts = TokenizeCommandText("add_to_list    ");
    EXPECT_TRUE(IsAppendVerb(parts));
    EXPECT_TRUE(parts.items.empty());
    EXPECT_TRUE(TokenizeCommandText("").items.empty());
    EXPECT_TRUE(TokenizeCommandText(nullptr).items.empty());
}

TEST(CommandTokens, ManyItemsHaveNoFixedLimit)
{
    std::string text = "add_to_list";
    for (int i = 0; i < 60000; ++i) text += " \"f" + std::to_string(i) + "\"";
    CommandParts parts = TokenizeCommandText(text.c_str());
    ASSERT_EQ(parts.items.size(), 60000u);
    EXPECT_EQ(parts.items[59999], "f59999");
}
