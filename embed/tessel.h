/* Placeholder: the C interface for host programs lands with the embedding work. */
#ifndef TESSEL_H
#define TESSEL_H
#endif
