#pragma once

/** The order of the gallery's pictures: natural name order (IMG_2 before IMG_10), or by date taken. */
enum class PictureOrder { Name, Date };
