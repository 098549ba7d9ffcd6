#pragma once

namespace orvik {

class Movie;

// Prints a movie as `orvik dump` does: its path, timeline view, duration and
// clip table, or with `json` the whole document as JSON.
void PrintMovie(Movie& movie, bool json);

} // namespace orvik
