#pragma once

#include <juce_graphics/juce_graphics.h>

#include <algorithm>
#include <cmath>

/**
    The pad's glow layer is redrawn every refresh with two rings per audible instance, and
    faded as a whole. With dozens of instances the framework's general path stroker spends
    most of its time building paths and edge tables for these thin circles, so they are
    rasterised here directly: every pixel near the circle gets the coverage of a stroke of the
    given width, with the same antialiased look.
*/
namespace ChaosGlowRaster
{
    /** Every colour byte times 246/256: what fading a premultiplied image by 0.962 gives. */
    inline void fade (juce::Image& image, juce::Rectangle<int> area)
    {
        area = area.getIntersection (image.getBounds());

        if (area.isEmpty() || image.getFormat() != juce::Image::ARGB)
            return;

        const juce::Image::BitmapData data (image, area.getX(), area.getY(), area.getWidth(), area.getHeight(),
                                            juce::Image::BitmapData::readWrite);
        const auto bytesPerLine = static_cast<size_t> (area.getWidth() * data.pixelStride);

        for (int y = 0; y < area.getHeight(); ++y)
        {
            auto* bytes = data.getLinePointer (y);

            for (size_t i = 0; i < bytesPerLine; ++i)
                bytes[i] = static_cast<juce::uint8> ((static_cast<unsigned int> (bytes[i]) * 246u) >> 8);
        }
    }

    struct Stroke
    {
        float width;
        juce::Colour colour;
    };

    /** Blends two concentric strokes of one circle, the first under the second, and returns
        the pixels it may have touched. */
    inline juce::Rectangle<int> drawRing (juce::Image& image, juce::Point<float> centre, float radius, Stroke under, Stroke over)
    {
        if (image.getFormat() != juce::Image::ARGB || ! (radius >= 0.0f) || ! std::isfinite (centre.x) || ! std::isfinite (centre.y))
            return {};

        const auto halfWidth = std::max (under.width, over.width) * 0.5f;
        const auto outer = radius + halfWidth + 0.5f;
        const auto inner = std::max (0.0f, radius - halfWidth - 0.5f);
        const auto bounds = juce::Rectangle<int> (static_cast<int> (std::floor (centre.x - outer)),
                                                  static_cast<int> (std::floor (centre.y - outer)),
                                                  static_cast<int> (std::ceil (2.0f * outer)) + 2,
                                                  static_cast<int> (std::ceil (2.0f * outer)) + 2)
                                .getIntersection (image.getBounds());

        if (bounds.isEmpty())
            return {};

        const juce::Image::BitmapData data (image, juce::Image::BitmapData::readWrite);
        const auto underPixel = under.colour.getPixelARGB();
        const auto overPixel = over.colour.getPixelARGB();

        const auto blendAt = [] (juce::PixelARGB* destination, juce::PixelARGB source, float coverage) {
            if (coverage <= 0.0f)
                return;

            if (coverage < 1.0f)
                source.multiplyAlpha (static_cast<int> (coverage * 255.0f + 0.5f));

            destination->blend (source);
        };

        const auto blendSpan = [&] (int y, float dy, int x0, int x1) {
            x0 = std::max (x0, bounds.getX());
            x1 = std::min (x1, bounds.getRight() - 1);
            auto* line = reinterpret_cast<juce::PixelARGB*> (data.getLinePointer (y));

            for (int x = x0; x <= x1; ++x)
            {
                const auto dx = static_cast<float> (x) + 0.5f - centre.x;
                const auto offCircle = std::abs (std::sqrt (dx * dx + dy * dy) - radius);
                blendAt (line + x, underPixel, juce::jlimit (0.0f, 1.0f, under.width * 0.5f + 0.5f - offCircle));
                blendAt (line + x, overPixel, juce::jlimit (0.0f, 1.0f, over.width * 0.5f + 0.5f - offCircle));
            }
        };

        for (int y = bounds.getY(); y < bounds.getBottom(); ++y)
        {
            const auto dy = static_cast<float> (y) + 0.5f - centre.y;
            const auto ySquared = dy * dy;

            if (ySquared > outer * outer)
                continue;

            const auto outerHalf = std::sqrt (outer * outer - ySquared);
            const auto left = static_cast<int> (std::floor (centre.x - outerHalf - 0.5f));
            const auto right = static_cast<int> (std::ceil (centre.x + outerHalf - 0.5f));

            if (ySquared >= inner * inner)
            {
                blendSpan (y, dy, left, right);
                continue;
            }

            // Inside the ring's hole nothing is drawn: only the two arcs of this row.
            const auto innerHalf = std::sqrt (inner * inner - ySquared);
            blendSpan (y, dy, left, static_cast<int> (std::ceil (centre.x - innerHalf - 0.5f)));
            blendSpan (y, dy, static_cast<int> (std::floor (centre.x + innerHalf - 0.5f)), right);
        }

        return bounds;
    }
} // namespace ChaosGlowRaster
