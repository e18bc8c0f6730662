#include "AboutComponent.h"
#include "GuiHarness.h"
#include "TopBarComponent.h"

namespace
{
    using Rect = juce::Rectangle<int>;

    int largestAlpha (const juce::Image& image)
    {
        int largest = 0;

        for (int y = 0; y < image.getHeight(); ++y)
            for (int x = 0; x < image.getWidth(); ++x)
                largest = std::max (largest, (int) image.getPixelAt (x, y).getAlpha());

        return largest;
    }

    /** The slots draw white at low alphas over nothing, so the alpha tells how much is drawn. */
    int coverage (const juce::Image& image, int x, int y)
    {
        return image.getPixelAt (x, y).getAlpha();
    }
} // namespace

TEST (TopBar, LaysOutTheDefaultBarToThePixel)
{
    TopBarComponent bar;
    bar.setBounds (0, 0, 984, 38);

    EXPECT_EQ (bar.listenMonoButton.getBounds(), Rect (14, 7, 98, 24));
    EXPECT_EQ (bar.bypassAllButton.getBounds(), Rect (120, 7, 98, 24));
    EXPECT_EQ (bar.undoButton.getBounds(), Rect (910, 9, 28, 20));
    EXPECT_EQ (bar.redoButton.getBounds(), Rect (942, 9, 28, 20));
    EXPECT_EQ (bar.storeButton.getBounds(), Rect (464, 7, 58, 24));

    const int slotX[] = { 530, 565, 600, 635 };
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ (bar.slotButtons[i].getBounds(), Rect (slotX[i], 7, 30, 24)) << i;
}

TEST (TopBar, SwitchesToCompactSizesBelow620Pixels)
{
    TopBarComponent bar;
    bar.setBounds (0, 0, 619, 38);
    EXPECT_EQ (bar.listenMonoButton.getBounds(), Rect (10, 7, 84, 24));
    EXPECT_EQ (bar.bypassAllButton.getBounds(), Rect (100, 7, 84, 24));
    EXPECT_EQ (bar.redoButton.getBounds(), Rect (583, 9, 26, 20));
    EXPECT_EQ (bar.undoButton.getBounds(), Rect (555, 9, 26, 20));
    EXPECT_EQ (bar.storeButton.getWidth(), 48);
    EXPECT_EQ (bar.slotButtons[1].getX() - bar.slotButtons[0].getRight(), 3);

    bar.setBounds (0, 0, 620, 38);
    EXPECT_EQ (bar.listenMonoButton.getBounds(), Rect (14, 7, 98, 24));
    EXPECT_EQ (bar.storeButton.getWidth(), 58);
}

TEST (TopBar, TheGroupShrinksFromTheRight)
{
    TopBarComponent bar;
    bar.setBounds (0, 0, 400, 38);

    // Free space 336 - 8 - 190 + 2 = 140: Store, slot 1 and slot 2 whole, slot 3 cut, slot 4 gone.
    EXPECT_EQ (bar.storeButton.getBounds(), Rect (190, 7, 48, 24));
    EXPECT_EQ (bar.slotButtons[0].getWidth(), 27);
    EXPECT_EQ (bar.slotButtons[1].getWidth(), 27);
    EXPECT_EQ (bar.slotButtons[2].getWidth(), 26);
    EXPECT_EQ (bar.slotButtons[3].getWidth(), 0);

    bar.setBounds (0, 0, 200, 38);
    EXPECT_EQ (bar.storeButton.getWidth(), 0) << "no free space at all";
}

TEST (TopBar, ReportsClicksAndIgnoresEmptySlotsUnlessArmed)
{
    TopBarComponent bar;
    DesktopComponent shown (bar, 984, 38);
    std::vector<juce::String> calls;
    bar.onListenMono = [&] { calls.push_back ("listen mono"); };
    bar.onBypassAll = [&] { calls.push_back ("bypass all"); };
    bar.onStore = [&] { calls.push_back ("store"); };
    bar.onSlotClicked = [&] (int slot) { calls.push_back ("slot " + juce::String (slot)); };
    bar.onUndo = [&] { calls.push_back ("undo"); };
    bar.onRedo = [&] { calls.push_back ("redo"); };

    const auto clickOn = [&] (const juce::Component& c) {
        const auto centre = c.getBounds().getCentre().toFloat();
        shown.click (centre.x, centre.y);
    };

    clickOn (bar.listenMonoButton);
    clickOn (bar.bypassAllButton);
    clickOn (bar.storeButton);
    clickOn (bar.slotButtons[1]); // empty and not armed
    clickOn (bar.undoButton);     // disabled
    EXPECT_EQ (calls, (std::vector<juce::String> { "listen mono", "bypass all", "store" }));

    bar.setStoreArmed (true);
    clickOn (bar.slotButtons[1]);
    bar.setStoreArmed (false);
    bar.slotButtons[3].setStored (true);
    clickOn (bar.slotButtons[3]);
    bar.undoButton.setEnabled (true);
    bar.redoButton.setEnabled (true);
    clickOn (bar.undoButton);
    clickOn (bar.redoButton);
    EXPECT_EQ (calls, (std::vector<juce::String> { "listen mono", "bypass all", "store", "slot 1", "slot 3", "undo", "redo" }));
}

TEST (TopBar, ADisabledUndoDrawsItsGlyphFaintlyWithoutHover)
{
    TopBarComponent bar;
    DesktopComponent shown (bar, 984, 38);
    const auto centre = bar.undoButton.getBounds().getCentre().toFloat();
    shown.move (centre.x, centre.y);

    const auto disabled = bar.undoButton.createComponentSnapshot (bar.undoButton.getLocalBounds());
    EXPECT_EQ (largestAlpha (disabled), 0x42);

    shown.leave();
    bar.undoButton.setEnabled (true);
    const auto enabled = bar.undoButton.createComponentSnapshot (bar.undoButton.getLocalBounds());
    EXPECT_EQ (largestAlpha (enabled), 0xb8);

    shown.move (centre.x, centre.y);
    const auto hovered = bar.undoButton.createComponentSnapshot (bar.undoButton.getLocalBounds());
    EXPECT_EQ (largestAlpha (hovered), 0xff);
    shown.leave();
}

TEST (TopBar, ArmingIsIdempotentAndPulsesStoreAndEverySlot)
{
    TopBarComponent bar;
    bar.setStoreArmed (true);
    bar.setStoreArmed (true);
    EXPECT_TRUE (bar.isStoreArmed());
    EXPECT_TRUE (bar.storeButton.isPulsing());

    for (auto& slot : bar.slotButtons)
        EXPECT_TRUE (slot.isArmed());

    bar.setStoreArmed (false);
    EXPECT_FALSE (bar.storeButton.isPulsing());
    EXPECT_FALSE (bar.slotButtons[2].isArmed());
}

TEST (TopBar, ASlotFlashesForThreeHundredAndSixtyMilliseconds)
{
    TopBarComponent bar;
    DesktopComponent shown (bar, 984, 38);
    auto& slot = bar.slotButtons[0];
    const auto now = juce::Time::getMillisecondCounterHiRes();

    slot.setFlashStartMs (-1.0);
    const auto plain = coverage (slot.createComponentSnapshot (slot.getLocalBounds()), 6, 12);

    slot.setFlashStartMs (now);
    const auto flashing = coverage (slot.createComponentSnapshot (slot.getLocalBounds()), 6, 12);
    EXPECT_GT (flashing, plain + 30) << "0.18 of white at the start";

    slot.setFlashStartMs (now - 360.0);
    EXPECT_EQ (coverage (slot.createComponentSnapshot (slot.getLocalBounds()), 6, 12), plain);
}

TEST (TopBar, AModifiedSlotShowsItsDotAndACurrentOneTheAccent)
{
    TopBarComponent bar;
    DesktopComponent shown (bar, 984, 38);
    auto& slot = bar.slotButtons[2];
    slot.setStored (true);

    slot.setModified (true);
    auto image = slot.createComponentSnapshot (slot.getLocalBounds());
    EXPECT_GT (image.getPixelAt (slot.getWidth() - 7, 6).getAlpha(), 0xa0);

    slot.setModified (false);
    slot.setCurrent (true);
    image = slot.createComponentSnapshot (slot.getLocalBounds());
    const auto edge = image.getPixelAt (slot.getWidth() / 2, 1);
    EXPECT_GT (edge.getBlue(), edge.getRed()) << "the outline takes the accent colour";
}

//==============================================================================
namespace
{
    struct About : testing::Test
    {
        AboutComponent about { "Astrel", "2D Stereo Panning", "Developed by Orlimund Audio", "GPL-3.0", "orlimund.audio/astrel" };
        int closes = 0;
        std::vector<juce::String> opened;

        About()
        {
            about.onClose = [this] { ++closes; };
            about.openAddress = [this] (const juce::URL& url) { opened.push_back (url.toString (false)); };
        }
    };
} // namespace

TEST_F (About, TheCardSizeDependsOnTheEditorsWidth)
{
    about.setBounds (0, 0, 600, 560);
    EXPECT_EQ (about.getCardBounds(), juce::Rectangle<float> (104.0f, 130.0f, 392.0f, 300.0f));

    about.setBounds (0, 0, 700, 560);
    EXPECT_EQ (about.getCardBounds().getWidth(), 460.0f);
    EXPECT_EQ (about.getCardBounds().getHeight(), 318.0f);

    about.setBounds (0, 0, 300, 200);
    EXPECT_EQ (about.getCardBounds(), juce::Rectangle<float> (24.0f, 24.0f, 252.0f, 152.0f)) << "shrunk to fit";
}

TEST_F (About, ClosesOnClicksOutsideTheCardAndOnEscapeOnly)
{
    DesktopComponent shown (about, 700, 560);
    about.refresh();
    EXPECT_EQ (about.getVersionLabel().getText(), "Version 1.0.0");

    const auto card = about.getCardBounds();
    shown.click (card.getCentreX(), card.getY() + 30.0f); // on the title
    shown.click (card.getCentreX(), card.getCentreY());
    EXPECT_EQ (closes, 0);

    shown.click (10.0f, 10.0f);
    EXPECT_EQ (closes, 1);

    EXPECT_TRUE (about.keyPressed (juce::KeyPress (juce::KeyPress::escapeKey)));
    EXPECT_EQ (closes, 2);
    EXPECT_FALSE (about.keyPressed (juce::KeyPress (juce::KeyPress::escapeKey, juce::ModifierKeys::shiftModifier, 0)));
    EXPECT_FALSE (about.keyPressed (juce::KeyPress ('a')));
    EXPECT_EQ (closes, 2);
}

TEST_F (About, TheLinkOpensItsAddressAndCloses)
{
    EXPECT_EQ (AboutComponent::addressForLinkText ("orlimund.audio/astrel"), "https://orlimund.audio/astrel");
    EXPECT_EQ (AboutComponent::addressForLinkText ("HTTP://example.org"), "HTTP://example.org");
    EXPECT_EQ (AboutComponent::addressForLinkText ("https://example.org"), "https://example.org");

    DesktopComponent shown (about, 700, 560);
    const auto link = about.getLinkLabel().getBounds().getCentre().toFloat();
    shown.move (link.x, link.y);
    EXPECT_TRUE (about.getLinkLabel().isHovered());
    EXPECT_EQ (about.getLinkLabel().findColour (juce::Label::textColourId), juce::Colour (AboutComponent::LinkLabel::hoverColour));

    shown.click (link.x, link.y);
    EXPECT_EQ (opened, std::vector<juce::String> { "https://orlimund.audio/astrel" });
    EXPECT_EQ (closes, 1);

    shown.leave();
    EXPECT_EQ (about.getLinkLabel().findColour (juce::Label::textColourId), juce::Colour (AboutComponent::LinkLabel::normalColour));
}
