#include "webview/viewscript.h"

#include <string_view>

namespace webview {

namespace {

// Kept to the language level of old embedded browsers: no classes, arrow functions or let.
constexpr std::string_view kScript = R"JS(// MP3 - Lyrabinder slideshow.
// A page makes one slideshow, adds its slides, binds its image element and plays it.

// One picture of the show; loading starts at once, so that the slide is ready when shown.
function slide(src) {
  this.src = src;
  this.image = new Image();
  this.image.src = src;
}

// A show that knows the name of the global variable holding it.
function slideshow(name) {
  this.name = name;
  this.slides = new Array();
  this.current = 0;
  this.timeout = 4500;
  this.image = null;
  this.timer = null;
  this.scale_timer = null;
  this.width_margin = 43;
  this.height_margin = 38;
  this.button_height = 24;
  this.min_size = 30;
}

slideshow.prototype.add_slide = function (s) {
  this.slides[this.slides.length] = s;
};

slideshow.prototype.set_image = function (img) {
  var self = this;
  this.image = img;
  if (img) {
    img.onload = function () { self.scale(); };
  }
  if (window.addEventListener) {
    window.addEventListener("resize", function () { self.tomte(); }, false);
  }
};

// Steps one slide on, from the last back to the first.
slideshow.prototype.next = function () {
  var count = this.slides.length;
  if (count == 0) return;
  this.current = (this.current + 1) % count;
  if (this.image) this.image.src = this.slides[this.current].src;
  this.scale();
};

// Steps one slide back, from the first to the last.
slideshow.prototype.previous = function () {
  var count = this.slides.length;
  if (count == 0) return;
  this.current = (this.current + count - 1) % count;
  if (this.image) this.image.src = this.slides[this.current].src;
  this.scale();
};

slideshow.prototype.play = function () {
  var self = this;
  this.pause();
  this.timer = window.setInterval(function () { self.next(); }, this.timeout);
};

slideshow.prototype.pause = function () {
  if (this.timer != null) {
    window.clearInterval(this.timer);
    this.timer = null;
  }
};

// Rescales a moment later, once the page has laid itself out.
slideshow.prototype.tomte = function () {
  var self = this;
  if (this.scale_timer != null) window.clearTimeout(this.scale_timer);
  this.scale_timer = window.setTimeout(function () {
    self.scale_timer = null;
    self.scale();
  }, 50);
};

// Fits the current slide into the frame, keeping its proportions.
slideshow.prototype.scale = function () {
  var self = this;
  if (!this.image || this.slides.length == 0) return;
  var picture = this.slides[this.current].image;
  var natural_width = picture.naturalWidth || picture.width;
  var natural_height = picture.naturalHeight || picture.height;
  if (!natural_width || !natural_height) {
    // Not loaded yet: scale when it is.
    picture.onload = function () { self.scale(); };
    return;
  }
  // The inner size of the frame: the body in the pages' quirks mode, the root otherwise.
  var frame = document.body;
  if (!frame || document.compatMode == "CSS1Compat") frame = document.documentElement;
  var limit = frame.clientHeight - this.height_margin;
  if (this.slides.length > 1) limit -= this.button_height;
  var width = frame.clientWidth - this.width_margin;
  var height = Math.round(width * natural_height / natural_width);
  if (height > limit) {
    height = limit;
    width = Math.round(height * natural_width / natural_height);
  }
  this.image.width = Math.max(width, this.min_size);
  this.image.height = Math.max(height, this.min_size);
};
)JS";

}  // namespace

std::string ViewScriptText() {
  std::string text;
  text.reserve(kScript.size() + kScript.size() / 16);
  for (const char c : kScript) {
    if (c == '\n') text += '\r';
    text += c;
  }
  return text;
}

std::string ViewScriptFile() {
  return ViewScriptText() + "\r\n";
}

}  // namespace webview
