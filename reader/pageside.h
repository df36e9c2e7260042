#pragma once

class QPushButton;
class ViewerWebView;

// One page view of the reader's spread, with what belongs to it.
struct PageSide
{
    ViewerWebView* view = nullptr;
    QPushButton* ribbon = nullptr; // the page's bookmark
    bool loaded = true; // the view owes no load
    // A view is reloaded at most once per page when its page measured empty,
    // so a document that never lays out cannot loop.
    bool retried = false;
    double fit_scale = 1.0;
};
