"""A short tour of ordavin: build a path, clean it and look at it."""

from ordavin import Path

path = Path.from_points([[0, 0], [1, 0], [1, 0], [2, 1], [3, 1]])
clean = path.without_duplicate_points()
print(f"{len(path.points)} points, {len(clean.points)} without duplicates: {clean.points}")
