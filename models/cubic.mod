x=0.3
r=1.5

d
x=r*x-x^3

