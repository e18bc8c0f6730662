#pragma once

#include <juce_core/juce_core.h>

#include <vector>

/**
    Checks that run over text from outside (a saved chunk, the slots' JSON) before the
    framework's parsers see it. Those parsers recurse once per nesting level, retry after
    errors, expand DTD entities and overflow on long integers; text that passes these checks
    is plainly formed and shallow, and parses in linear time.
*/
namespace TextChecks
{
    namespace Detail
    {
        inline bool isNameStart (juce::juce_wchar c) noexcept
        {
            return juce::CharacterFunctions::isLetter (c) || c == '_' || c == ':';
        }

        inline bool isNameChar (juce::juce_wchar c) noexcept
        {
            return isNameStart (c) || juce::CharacterFunctions::isDigit (c) || c == '-' || c == '.';
        }

        inline void skipSpace (juce::String::CharPointerType& p) noexcept
        {
            while (juce::CharacterFunctions::isWhitespace (*p))
                ++p;
        }

        inline bool skipPast (juce::String::CharPointerType& p, const char* terminator) noexcept
        {
            const auto found = p.indexOf (juce::CharPointer_ASCII (terminator));

            if (found < 0)
                return false;

            p += found + (int) strlen (terminator);
            return true;
        }

        inline juce::String readName (juce::String::CharPointerType& p)
        {
            const auto start = p;

            if (! isNameStart (*p))
                return {};

            while (isNameChar (*p))
                ++p;

            return juce::String (start, p);
        }

        /** Skips comments and white space; false on an unterminated comment. */
        inline bool skipMisc (juce::String::CharPointerType& p) noexcept
        {
            for (;;)
            {
                skipSpace (p);

                if (p[0] == '<' && p[1] == '!' && p[2] == '-' && p[3] == '-')
                {
                    p += 4;

                    if (! skipPast (p, "-->"))
                        return false;

                    continue;
                }

                return true;
            }
        }
    } // namespace Detail

    /**
        A document of elements with quoted attributes, text, comments and CDATA, after an
        optional XML declaration; no DTD, no processing instructions elsewhere, tags
        balanced, at most maxDepth elements deep.
    */
    inline bool isPlainXmlDocument (const juce::String& text, int maxDepth)
    {
        using namespace Detail;
        auto p = text.getCharPointer();
        skipSpace (p);

        if (p[0] == '<' && p[1] == '?')
            if (! skipPast (p, "?>"))
                return false;

        if (! skipMisc (p) || *p != '<')
            return false;

        std::vector<juce::String> open;

        for (;;)
        {
            // At a '<' that starts an element, an end tag, a comment or CDATA.
            if (p[1] == '/')
            {
                p += 2;
                const auto name = readName (p);
                skipSpace (p);

                if (open.empty() || name != open.back() || *p != '>')
                    return false;

                ++p;
                open.pop_back();

                if (open.empty())
                    break;
            }
            else if (p[1] == '!' && p[2] == '-' && p[3] == '-')
            {
                p += 4;

                if (! skipPast (p, "-->"))
                    return false;
            }
            else if (p[1] == '!' && juce::CharacterFunctions::compareUpTo (p + 2, juce::CharPointer_ASCII ("[CDATA["), 7) == 0)
            {
                if (open.empty())
                    return false;

                p += 9;

                if (! skipPast (p, "]]>"))
                    return false;
            }
            else
            {
                ++p;
                const auto name = readName (p);

                if (name.isEmpty())
                    return false;

                for (;;)
                {
                    const bool spaced = juce::CharacterFunctions::isWhitespace (*p);
                    skipSpace (p);

                    if (*p == '/' || *p == '>' || ! spaced)
                        break;

                    if (readName (p).isEmpty())
                        return false;

                    skipSpace (p);

                    if (*p != '=')
                        return false;

                    ++p;
                    skipSpace (p);
                    const auto quote = *p;

                    if (quote != '"' && quote != '\'')
                        return false;

                    for (++p; *p != quote; ++p)
                        if (*p == 0 || *p == '<')
                            return false;

                    ++p;
                }

                if (p[0] == '/' && p[1] == '>')
                {
                    p += 2;

                    if (open.empty())
                        break;
                }
                else if (*p == '>')
                {
                    ++p;
                    open.push_back (name);

                    if ((int) open.size() > maxDepth)
                        return false;
                }
                else
                {
                    return false;
                }
            }

            // Text up to the next '<'.
            while (*p != '<')
                if (*p == 0)
                    return false;
                else
                    ++p;
        }

        return skipMisc (p) && p.isEmpty();
    }

    /**
        JSON nested at most maxDepth deep whose numbers have at most 18 digits before any
        fraction or exponent and at most 6 in an exponent (the framework's parser collects
        those in a 64-bit and a 32-bit integer). Whether the text is JSON at all is left to
        the parser.
    */
    inline bool isShallowJsonWithSaneNumbers (const juce::String& text, int maxDepth) noexcept
    {
        int depth = 0;
        int digitRun = 0;
        bool inString = false, escaped = false, inNumber = false, inExponent = false;

        for (auto p = text.getCharPointer(); ! p.isEmpty(); ++p)
        {
            const auto c = *p;

            if (inString)
            {
                if (escaped)
                    escaped = false;
                else if (c == '\\')
                    escaped = true;
                else if (c == '"')
                    inString = false;

                continue;
            }

            if (juce::CharacterFunctions::isDigit (c))
            {
                if (! inNumber)
                    inNumber = true, inExponent = false, digitRun = 0;

                if (digitRun >= 0 && ++digitRun > (inExponent ? 6 : 18))
                    return false;

                continue;
            }

            // Fraction digits are rounded into a double and cannot overflow; exponent digits
            // are counted afresh.
            if (inNumber && c == '.')
                digitRun = -1;
            else if (inNumber && (c == 'e' || c == 'E'))
                inExponent = true, digitRun = 0;
            else if (c != '-' && c != '+')
                inNumber = false;

            if (c == '"')
                inString = true;
            else if (c == '[' || c == '{')
            {
                if (++depth > maxDepth)
                    return false;
            }
            else if (c == ']' || c == '}')
                --depth;
        }

        return true;
    }
} // namespace TextChecks
